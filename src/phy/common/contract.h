// contract.h: checks of what a caller promised, kept in every build. A broken promise is a bug in
// this program, never bad input (input is checked where it enters): the program stops at once and
// says where, instead of carrying on with a result that hides the bug.
#pragma once

namespace zolk {

[[noreturn]] void contractBroken(const char* promise, const char* file, unsigned line, const char* function);

// The place of the call comes from the compiler's builtins, which every compiler we build with
// (GCC, and the clang of the fuzz build) fills in at the caller.
inline void expects(bool holds, const char* promise, const char* file = __builtin_FILE(),
                    unsigned line = __builtin_LINE(), const char* function = __builtin_FUNCTION()) {
    if (!holds) [[unlikely]] contractBroken(promise, file, line, function);
}

}  // namespace zolk
