// command_syntax.h: the command words of the CommandPort and how a line is taken apart.
// Pure text rules; what a command does is the host protocol's job.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zolk {

enum class HostCommand : std::uint8_t {
    Connect,
    MyCall,
    Gateway,
    Disconnect,
    Abort,
    ListenOn,
    ListenOff,
    PublicOn,
    PublicOff,
    Calibrate,
    Unknown,
};

struct CommandSyntax {
    std::string_view text;
    bool prefix;  // the line only has to begin with text
    HostCommand command;
};

// Tried in this order; the first match decides.
inline constexpr std::array<CommandSyntax, 10> kCommandSyntax{{
    {"CONNECT ", true, HostCommand::Connect},
    {"MYCALL ", true, HostCommand::MyCall},
    {"GATEWAY ", true, HostCommand::Gateway},
    {"DISCONNECT", false, HostCommand::Disconnect},
    {"ABORT", false, HostCommand::Abort},
    {"LISTEN ON", false, HostCommand::ListenOn},
    {"LISTEN OFF", false, HostCommand::ListenOff},
    {"PUBLIC ON", false, HostCommand::PublicOn},
    {"PUBLIC OFF", false, HostCommand::PublicOff},
    // Ours, for a station without a window: "CALIBRATE ROUGH <call>" or "CALIBRATE FINE <call>".
    {"CALIBRATE ", true, HostCommand::Calibrate},
}};

// line is already in upper case.
HostCommand classifyCommand(std::string_view line);

// Pieces between single blanks: "A  B" gives "A", "", "B"; a trailing blank gives an empty piece.
std::vector<std::string_view> splitFields(std::string_view line);

}  // namespace zolk
