// soak.h: many links with random paths, losses and endings; every byte accounted for.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zolk::sessionbench {

// Runs sessions seeds first..first+count-1, writes session_soak.md.part into out and the folders of
// failed sessions under out/soak_failures. Returns the number of failed sessions.
int runSoak(std::uint64_t first, int count, const std::filesystem::path& out);

}  // namespace zolk::sessionbench
