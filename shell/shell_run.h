// shell_run.h: the program's two ways to run: a station (window or headless) and the device list.
// Owns the order in which the application, the lock, the ports and the station come and go.
#pragma once

#include "shell/options.h"

namespace zolk::shell {

// Runs one station until its window closes or SIGINT/SIGTERM arrives; returns the exit status.
int runStation(const ShellOptions& options, int& argc, char** argv);

// Prints the sound input and output device names; returns the exit status.
int runListAudio(int& argc, char** argv);

}  // namespace zolk::shell
