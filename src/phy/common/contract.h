// contract.h: checks of what a caller promised, kept in every build. A broken promise is a bug in
// this program, never bad input (input is checked where it enters): the program stops at once and
// says where, instead of carrying on with a result that hides the bug.
#pragma once

#include <source_location>

namespace zolk {

[[noreturn]] void contractBroken(const char* promise, std::source_location where);

inline void expects(bool holds, const char* promise, std::source_location where = std::source_location::current()) {
    if (!holds) [[unlikely]] contractBroken(promise, where);
}

}  // namespace zolk
