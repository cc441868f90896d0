// zolk-phy: physical-layer workbench; dispatches to the subcommand named first.
#include <iostream>
#include <string_view>
#include <vector>

#include "subcommands.h"

namespace {

int usage(std::ostream& os, int status) {
    os << "usage: zolk-phy <subcommand> [arguments]\n";
    for (const auto& command : zolk::phytool::subcommands()) {
        os << "  " << command.usage << '\n';
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage(std::cerr, 2);
    }
    const std::string_view name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        return usage(std::cout, 0);
    }
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const auto& command : zolk::phytool::subcommands()) {
        if (command.name == name) {
            return command.run(args, std::cout, std::cerr);
        }
    }
    std::cerr << "zolk-phy: unknown subcommand \"" << name << "\"\n";
    return usage(std::cerr, 2);
}
