// Linked into every program of the sanitizer build: shared modules opened with dlopen stay loaded
// until the process ends. A plugin that keeps memory and is then unloaded (ALSA's pulse plugin
// does so when no sound server answers) would otherwise leave a leak report without a library
// name, which no suppression can match; loaded, its frames name the library and scripts/lsan.supp
// decides. This build only checks for errors, so modules staying mapped costs nothing that matters.
extern "C" int dlclose(void*) { return 0; }
