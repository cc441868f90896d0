// options.h: the command line of zolksat and the environment it reads (display, config home).
// Owns parsing, the defaults and the help text; carrying the options out is the runner's job.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include "version.h"

namespace zolk::shell {

struct ShellOptions {
    QString stationFolder;   // --dir, or the default under the config home
    bool headless = false;   // --headless, or no display to draw on
    bool noDisplay = false;  // headless because neither DISPLAY nor WAYLAND_DISPLAY is set
    bool listAudio = false;  // --list-audio
    QString tablesFile;      // --tables; empty: beside the program, else the installed one
    bool listenAny = false;  // --listen-any: host ports open to the network for this run
    bool debugLog = false;   // --debug-log: the session's decisions go to ZOLKSAT-debug.log
};

enum class CommandLineAction { Run, ShowHelp, ShowVersion, Refuse };

struct CommandLine {
    CommandLineAction action = CommandLineAction::Run;
    ShellOptions options;
    QString error;  // why the command line was refused
};

// arguments[0] is the program name. Reads DISPLAY, WAYLAND_DISPLAY, XDG_CONFIG_HOME and HOME.
CommandLine parseCommandLine(const QStringList& arguments, const QProcessEnvironment& environment);

QString helpText();
QString versionText();

}  // namespace zolk::shell
