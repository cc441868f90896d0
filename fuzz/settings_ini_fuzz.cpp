// Any text as the settings file "ZOLK SAT.ini": read as an INI text and as the station's settings.
// Checks: reading never fails; a key written is read back as written (trimmed, cut, line breaks
// made blanks) after the text is saved and parsed again; the settings read from any file survive
// a save and a second read unchanged.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "app/ini_file.h"
#include "app/settings_file.h"

namespace {

// The settings file is saved through a temporary file and a rename, so it lives in a real folder.
const std::filesystem::path& settingsPath() {
    static const std::filesystem::path path = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "zolk-settings-fuzz-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) std::abort();
        return std::filesystem::path(folder) / "ZOLK SAT.ini";
    }();
    return path;
}

std::string expectedValue(std::string_view value) {
    std::string result(value);
    for (char& ch : result)
        if (ch == '\r' || ch == '\n') ch = ' ';
    const auto first = result.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    result = result.substr(first, result.find_last_not_of(" \t") - first + 1);
    return result.substr(0, zolk::kIniValueLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    zolk::IniFile ini = zolk::IniFile::parse(text);
    (void)ini.value("Setup", "TCP Command Port");
    (void)ini.value("Soundcard", "Input Device");
    // The last line of the input, split at its first '=', is written as a key of [Setup].
    const std::string_view last = text.substr(text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n') + 1);
    const std::size_t equals = last.find('=');
    if (equals != std::string_view::npos) {
        std::string key(last.substr(0, equals));
        const auto keyStart = key.find_first_not_of(" \t");
        key = keyStart == std::string::npos ? std::string() : key.substr(keyStart, key.find_last_not_of(" \t") - keyStart + 1);
        const bool plainKey = !key.empty() && key.find_first_of("[]=\r\n;") == std::string::npos;
        if (plainKey) {
            const std::string_view value = last.substr(equals + 1);
            ini.set("Setup", key, value);
            const zolk::IniFile again = zolk::IniFile::parse(ini.text());
            if (again.value("Setup", key) != expectedValue(value)) std::abort();
        }
    }

    {
        std::ofstream file(settingsPath(), std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!file) std::abort();
    }
    const zolk::Settings first = zolk::LoadSettings(settingsPath());
    for (const bool pttMenuShown : {false, true}) {
        if (!zolk::SaveSettings(first, pttMenuShown, settingsPath())) std::abort();
        if (!(zolk::LoadSettings(settingsPath()) == first)) std::abort();
    }
    return 0;
}
