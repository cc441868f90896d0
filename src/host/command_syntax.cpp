#include "host/command_syntax.h"

namespace zolk {

HostCommand classifyCommand(std::string_view line) {
    for (const CommandSyntax& syntax : kCommandSyntax) {
        if (syntax.prefix ? line.starts_with(syntax.text) : line == syntax.text)
            return syntax.command;
    }
    return HostCommand::Unknown;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t blank = line.find(' '); blank != std::string_view::npos;
         blank = line.find(' ', start)) {
        fields.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace zolk
