// subcommands.h: the table of zolk-phy subcommands and the signature each one implements.
// Owns nothing; each subcommand lives in its own <name>_command.cpp and adds one row to the table.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace zolk::phytool {

// args excludes the program and subcommand names; returns the process exit status.
using SubcommandMain = int (*)(std::span<const std::string_view> args, std::ostream& out,
                               std::ostream& err);

struct Subcommand {
    std::string_view name;
    std::string_view usage;  // one line: arguments and what it does
    SubcommandMain run;
};

std::span<const Subcommand> subcommands();

int runModes(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int runOffset(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int runRx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int runSweep(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int runTx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
// tx and rx with --control: control frames instead of data frames.
bool wantsControl(std::span<const std::string_view> args);
int runControlTx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int runControlRx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace zolk::phytool
