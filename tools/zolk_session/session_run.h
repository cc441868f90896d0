// session_run.h: one zolk-session run: the pair, the transfer, and what each host saw, printed.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "session_options.h"

namespace zolk::sessiontool {

// Station folders go under folder. Returns the exit status: 0 when every byte arrived once and
// in order and the link ended on both sides, 1 otherwise.
int runSession(const SessionOptions& options, const std::filesystem::path& folder, std::ostream& out);

}  // namespace zolk::sessiontool
