// ini_file.h: one INI text held as its lines, read and edited key by key.
// Owns the text only; which keys exist and what they mean is the settings file's business.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zolk {

// At most this many characters of a stored value are used when reading.
inline constexpr std::size_t kIniValueLimit = 255;

class IniFile {
public:
    IniFile() = default;
    // Any text is accepted: lines that are neither "[section]" nor "key=value" are kept as they are.
    static IniFile parse(std::string_view text);
    // A missing or unreadable file gives an empty IniFile.
    static IniFile load(const std::filesystem::path& file);

    // Sections and keys match without regard to case; the value is trimmed and cut at
    // kIniValueLimit characters. Empty when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Writes the key in the given spelling: replaces the first matching line, or adds the key at
    // the end of its section, or adds the section at the end of the file. Line breaks inside the
    // value become blanks so that a value can never add lines of its own.
    void set(std::string_view section, std::string_view key, std::string_view value);

    std::string text() const;
    // Writes through a temporary file and a rename, so a failed write leaves the old file whole.
    bool save(const std::filesystem::path& file) const;

private:
    // Index of the "[section]" line, if any.
    std::optional<std::size_t> findSection(std::string_view section) const;
    // One past the last line of the section whose header is at sectionLine.
    std::size_t sectionEnd(std::size_t sectionLine) const;
    std::optional<std::size_t> findKey(std::size_t sectionLine, std::string_view key) const;

    std::vector<std::string> m_lines;
};

}  // namespace zolk
