// settings_file.h: reading and writing the Settings record as "ZOLK SAT.ini".
// Owns the key table (sections, spellings, order, valid ranges); the values belong to the Station.
#pragma once

#include <filesystem>
#include <string_view>

#include "app/settings.h"

namespace zolk {

inline constexpr std::string_view kSettingsFileName = "ZOLK SAT.ini";

// Every key in its table order. A missing, unreadable or garbled file, a missing key, and a
// numeric key holding text or a number outside its valid range all give that key's default.
Settings loadSettings(const std::filesystem::path& file);

// Writes every key into the file, keeping all other lines. While the PTT menu item is hidden the
// "PTT" keys and "UZ-Board Device Path" are not written, so the file keeps them as they were.
// Returns false when the file could not be written.
bool saveSettings(const Settings& settings, bool pttMenuShown, const std::filesystem::path& file);

}  // namespace zolk
