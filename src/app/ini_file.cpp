#include "app/ini_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zolk {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The name inside "[name]", if the line is a section header.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
    const auto trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

std::string oneLine(std::string_view value) {
    std::string out(value);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

}  // namespace

IniFile IniFile::parse(std::string_view text) {
    // A line ends at LF, CR LF or a lone CR (old editors write those): a CR kept inside a line
    // would be read into a value and turn into a blank when the file is written back.
    IniFile file;
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        file.m_lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crLf ? 2 : 1));
    }
    return file;
}

IniFile IniFile::load(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return {};
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return in.bad() ? IniFile{} : parse(text.str());
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (name && equalsNoCase(*name, trim(section))) return i;
    }
    return std::nullopt;
}

std::size_t IniFile::sectionEnd(std::size_t sectionLine) const {
    std::size_t i = sectionLine + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i])) ++i;
    return i;
}

std::optional<std::size_t> IniFile::findKey(std::size_t sectionLine, std::string_view key) const {
    const auto end = sectionEnd(sectionLine);
    for (std::size_t i = sectionLine + 1; i < end; ++i) {
        const auto entry = keyLine(m_lines[i]);
        if (entry && equalsNoCase(entry->key, trim(key))) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const auto sectionLine = findSection(section);
    if (!sectionLine) return std::nullopt;
    const auto line = findKey(*sectionLine, key);
    if (!line) return std::nullopt;
    const auto stored = keyLine(m_lines[*line])->value;
    return std::string(stored.substr(0, kIniValueLimit));
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string line = oneLine(key) + "=" + oneLine(value);
    const auto sectionLine = findSection(section);
    if (!sectionLine) {
        if (!m_lines.empty() && !trim(m_lines.back()).empty()) m_lines.emplace_back();
        m_lines.push_back("[" + oneLine(section) + "]");
        m_lines.push_back(std::move(line));
        return;
    }
    if (const auto existing = findKey(*sectionLine, key)) {
        m_lines[*existing] = std::move(line);
        return;
    }
    // After the section's last non-blank line, so the blank line before the next section stays.
    auto insertAt = sectionEnd(*sectionLine);
    while (insertAt > *sectionLine + 1 && trim(m_lines[insertAt - 1]).empty()) --insertAt;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

std::string IniFile::text() const {
    std::string out;
    for (const auto& line : m_lines) {
        out += line;
        out += '\n';
    }
    return out;
}

bool IniFile::save(const std::filesystem::path& file) const {
    auto temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text();
        out.flush();
        if (!out) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (!error) return true;
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace zolk
