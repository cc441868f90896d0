#include "shell/options.h"
#include "version.h"

#include <gtest/gtest.h>

#include <array>

namespace zolk::shell {
namespace {

struct Environment {
    const char* display;
    const char* wayland;
    const char* configHome;
    const char* home;
};

QProcessEnvironment make(const Environment& e) {
    QProcessEnvironment environment;
    for (const auto& [name, value] : {std::pair{"DISPLAY", e.display}, std::pair{"WAYLAND_DISPLAY", e.wayland},
                                      std::pair{"XDG_CONFIG_HOME", e.configHome}, std::pair{"HOME", e.home}}) {
        if (value != nullptr) environment.insert(name, value);
    }
    return environment;
}

struct RunCase {
    const char* name;
    QStringList arguments;
    Environment environment;
    const char* folder;
    bool headless;
    bool noDisplay;
    bool listAudio;
};

TEST(CommandLine, FolderAndHeadlessFollowOptionsAndEnvironment) {
    const std::array cases{
        RunCase{"defaults under the config home", {"zolksat"}, {":0", nullptr, "/cfg", "/home/op"}, "/cfg/zolksat", false, false, false},
        RunCase{"no config home: under HOME", {"zolksat"}, {":0", nullptr, nullptr, "/home/op"}, "/home/op/.config/zolksat", false, false, false},
        RunCase{"relative config home is ignored", {"zolksat"}, {":0", nullptr, "cfg", "/home/op"}, "/home/op/.config/zolksat", false, false, false},
        RunCase{"--dir wins", {"zolksat", "--dir", "/srv/st2"}, {":0", nullptr, "/cfg", "/home/op"}, "/srv/st2", false, false, false},
        RunCase{"--dir=", {"zolksat", "--dir=/srv/st3"}, {":0", nullptr, "/cfg", "/home/op"}, "/srv/st3", false, false, false},
        RunCase{"--headless with a display", {"zolksat", "--headless"}, {":0", nullptr, "/cfg", "/home/op"}, "/cfg/zolksat", true, false, false},
        RunCase{"no display: headless by itself", {"zolksat"}, {nullptr, nullptr, "/cfg", "/home/op"}, "/cfg/zolksat", true, true, false},
        RunCase{"empty DISPLAY is no display", {"zolksat"}, {"", "", "/cfg", "/home/op"}, "/cfg/zolksat", true, true, false},
        RunCase{"Wayland is a display", {"zolksat"}, {nullptr, "wayland-0", "/cfg", "/home/op"}, "/cfg/zolksat", false, false, false},
        RunCase{"--list-audio", {"zolksat", "--list-audio"}, {":0", nullptr, "/cfg", "/home/op"}, "/cfg/zolksat", false, false, true},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine result = parseCommandLine(c.arguments, make(c.environment));
        ASSERT_EQ(result.action, CommandLineAction::Run) << result.error.toStdString();
        EXPECT_EQ(result.options.stationFolder.toStdString(), c.folder);
        EXPECT_EQ(result.options.headless, c.headless);
        EXPECT_EQ(result.options.noDisplay, c.noDisplay);
        EXPECT_EQ(result.options.listAudio, c.listAudio);
    }
}

struct OtherCase {
    const char* name;
    QStringList arguments;
    Environment environment;
    CommandLineAction action;
    const char* error;  // part of the refusal's text
};

TEST(CommandLine, HelpVersionAndRefusals) {
    const Environment usual{":0", nullptr, "/cfg", "/home/op"};
    const std::array cases{
        OtherCase{"--help", {"zolksat", "--help"}, usual, CommandLineAction::ShowHelp, ""},
        OtherCase{"-h", {"zolksat", "-h"}, usual, CommandLineAction::ShowHelp, ""},
        OtherCase{"--version", {"zolksat", "--version"}, usual, CommandLineAction::ShowVersion, ""},
        OtherCase{"help wins over a folder", {"zolksat", "--dir", "/x", "--help"}, usual, CommandLineAction::ShowHelp, ""},
        OtherCase{"unknown option", {"zolksat", "--frobnicate"}, usual, CommandLineAction::Refuse, "frobnicate"},
        OtherCase{"stray argument", {"zolksat", "/some/folder"}, usual, CommandLineAction::Refuse, "Unexpected argument: /some/folder"},
        OtherCase{"--dir without a value", {"zolksat", "--dir"}, usual, CommandLineAction::Refuse, "dir"},
        OtherCase{"--dir with an empty value", {"zolksat", "--dir="}, usual, CommandLineAction::Refuse, "--dir needs a folder name"},
        OtherCase{"--tables with an empty value", {"zolksat", "--tables="}, usual, CommandLineAction::Refuse, "--tables needs a file name"},
        OtherCase{"no home to put the folder in", {"zolksat"}, {":0", nullptr, nullptr, nullptr}, CommandLineAction::Refuse, "--dir DIR"},
    };
    for (const OtherCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine result = parseCommandLine(c.arguments, make(c.environment));
        EXPECT_EQ(result.action, c.action);
        EXPECT_NE(result.error.toStdString().find(c.error), std::string::npos) << result.error.toStdString();
    }
}

TEST(CommandLine, TablesFileIsPassedOnAsGiven) {
    const QProcessEnvironment environment = make({":0", nullptr, "/cfg", "/home/op"});
    EXPECT_TRUE(parseCommandLine({"zolksat"}, environment).options.tablesFile.isEmpty());
    const CommandLine given = parseCommandLine({"zolksat", "--tables", "/opt/z/ZOLKSAT.dat"}, environment);
    ASSERT_EQ(given.action, CommandLineAction::Run);
    EXPECT_EQ(given.options.tablesFile, "/opt/z/ZOLKSAT.dat");
}

TEST(CommandLine, HostPortsStayLocalUnlessListenAnyIsGiven) {
    const QProcessEnvironment environment = make({":0", nullptr, "/cfg", "/home/op"});
    EXPECT_FALSE(parseCommandLine({"zolksat"}, environment).options.listenAny);
    const CommandLine opened = parseCommandLine({"zolksat", "--headless", "--listen-any"}, environment);
    ASSERT_EQ(opened.action, CommandLineAction::Run);
    EXPECT_TRUE(opened.options.listenAny);
}

TEST(CommandLine, DebugLogOnlyWhenAsked) {
    const QProcessEnvironment environment = make({":0", nullptr, "/cfg", "/home/op"});
    EXPECT_FALSE(parseCommandLine({"zolksat"}, environment).options.debugLog);
    const CommandLine asked = parseCommandLine({"zolksat", "--debug-log"}, environment);
    ASSERT_EQ(asked.action, CommandLineAction::Run);
    EXPECT_TRUE(asked.options.debugLog);
}

TEST(CommandLine, HelpNamesEveryOption) {
    const QString help = helpText();
    for (const char* option : {"--dir DIR", "--tables FILE", "--headless", "--listen-any", "--debug-log", "--list-audio",
                               "--version", "--help"})
        EXPECT_TRUE(help.contains(option)) << option;
    EXPECT_EQ(versionText().toStdString(), "zolksat " + std::string(kVersion) + "\n");
}

}  // namespace
}  // namespace zolk::shell
