#include "subcommands.h"

#include <array>

namespace zolk::phytool {

namespace {
constexpr std::array kSubcommands{
    Subcommand{"modes", "modes: print the mode table as tab-separated text", runModes},
};
}  // namespace

std::span<const Subcommand> subcommands() { return kSubcommands; }

}  // namespace zolk::phytool
