#include "shell/options.h"

#include <QCommandLineParser>
#include <QDir>

namespace zolk::shell {
namespace {

// $XDG_CONFIG_HOME/zolksat, else ~/.config/zolksat; empty when neither can be found.
QString defaultStationFolder(const QProcessEnvironment& environment) {
    const QString configHome = environment.value("XDG_CONFIG_HOME");
    // XDG base directory rules ignore a relative XDG_CONFIG_HOME.
    if (!configHome.isEmpty() && QDir::isAbsolutePath(configHome))
        return QDir(configHome).filePath("zolksat");
    const QString home = environment.value("HOME");
    if (home.isEmpty()) return {};
    return QDir(home).filePath(".config/zolksat");
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QProcessEnvironment& environment) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption dir("dir", "", "DIR");
    const QCommandLineOption tables("tables", "", "FILE");
    const QCommandLineOption headless("headless");
    const QCommandLineOption listAudio("list-audio");
    const QCommandLineOption listenAny("listen-any");
    const QCommandLineOption debugLog("debug-log");
    const QCommandLineOption version(QStringList{"v", "version"});
    const QCommandLineOption help(QStringList{"h", "help"});
    parser.addOptions({dir, tables, headless, listAudio, listenAny, debugLog, version, help});

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLineAction::Refuse;
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLineAction::Refuse;
        result.error = "Unexpected argument: " + parser.positionalArguments().constFirst();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLineAction::ShowHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLineAction::ShowVersion;
        return result;
    }

    ShellOptions& options = result.options;
    options.listAudio = parser.isSet(listAudio);
    options.listenAny = parser.isSet(listenAny);
    options.debugLog = parser.isSet(debugLog);
    options.noDisplay =
        environment.value("DISPLAY").isEmpty() && environment.value("WAYLAND_DISPLAY").isEmpty();
    options.headless = parser.isSet(headless) || options.noDisplay;
    if (parser.isSet(tables)) {
        options.tablesFile = parser.value(tables);
        if (options.tablesFile.isEmpty()) {
            result.action = CommandLineAction::Refuse;
            result.error = "--tables needs a file name";
            return result;
        }
    }
    if (parser.isSet(dir)) {
        options.stationFolder = parser.value(dir);
        if (options.stationFolder.isEmpty()) {
            result.action = CommandLineAction::Refuse;
            result.error = "--dir needs a folder name";
        }
    } else {
        options.stationFolder = defaultStationFolder(environment);
        if (options.stationFolder.isEmpty()) {
            result.action = CommandLineAction::Refuse;
            result.error = "Neither XDG_CONFIG_HOME nor HOME is set; name the station folder with --dir DIR";
        }
    }
    return result;
}

QString helpText() {
    return QStringLiteral(
        "Usage: zolksat [--dir DIR] [--tables FILE] [--headless] [--listen-any] [--debug-log]\n"
        "       zolksat --list-audio | --version | --help\n"
        "\n"
        "ZOLK SAT, a sound-card data modem for amateur-radio satellite links.\n"
        "\n"
        "Options:\n"
        "  --dir DIR      station folder holding \"ZOLK SAT.ini\", the session log and the\n"
        "                 instance lock (default $XDG_CONFIG_HOME/zolksat, else\n"
        "                 ~/.config/zolksat); created on first start. One copy runs per folder.\n"
        "  --tables FILE  the tables file ZOLKSAT.dat to use (default: the one beside the\n"
        "                 program, else the installed one in <prefix>/share/zolksat).\n"
        "  --headless     run without a window: panel changes and messages become log lines,\n"
        "                 SIGINT or SIGTERM shuts the station down and saves its settings.\n"
        "                 Without a display (no DISPLAY, no WAYLAND_DISPLAY) this is the default.\n"
        "  --listen-any   let host programs on other machines connect: the CommandPort and the\n"
        "                 DataPort listen on every network interface for this run, not only on\n"
        "                 127.0.0.1 (setting \"TCP Listen All=1\" in [Setup] does so always).\n"
        "  --debug-log    write every decision of the link (states, codes sent and heard,\n"
        "                 modes) to ZOLKSAT-debug.log in the station folder, for reading a\n"
        "                 failed link afterwards; headless, also to standard error.\n"
        "  --list-audio   print the names of the sound input and output devices and end; an\n"
        "                 empty device name in the settings means the system default device.\n"
        "  -v, --version  print the version and end.\n"
        "  -h, --help     print this help and end.\n");
}

QString versionText() { return QStringLiteral("zolksat %1\n").arg(QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size()))); }

}  // namespace zolk::shell
