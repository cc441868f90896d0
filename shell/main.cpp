// main.cpp: zolksat, the modem program: reads the command line and runs what it asks for.
#include <cstdio>

#include "shell/options.h"
#include "shell/shell_run.h"

int main(int argc, char** argv) {
    using namespace zolk::shell;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(arguments, QProcessEnvironment::systemEnvironment());
    switch (commandLine.action) {
    case CommandLineAction::ShowHelp:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLineAction::ShowVersion:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLineAction::Refuse:
        std::fprintf(stderr, "zolksat: %s\nTry 'zolksat --help'.\n", commandLine.error.toLocal8Bit().constData());
        return 2;
    case CommandLineAction::Run:
        break;
    }
    if (commandLine.options.listAudio) return runListAudio(argc, argv);
    return runStation(commandLine.options, argc, argv);
}
