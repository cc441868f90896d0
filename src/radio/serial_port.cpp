#include "radio/serial_port.h"

#include <cctype>
#include <charconv>

namespace zolk {

namespace {

std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<SerialSettings> parseSerialSettings(std::string_view text) {
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 3)) return std::nullopt;
        fields[i] = text.substr(0, comma);
        if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
    }
    SerialSettings settings;
    const auto baud = parseInt(fields[0]);
    const auto dataBits = parseInt(fields[2]);
    const auto stopBits = parseInt(fields[3]);
    if (!baud || *baud <= 0 || fields[1].size() != 1 || !dataBits || !stopBits) return std::nullopt;
    settings.baud = *baud;
    settings.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(fields[1][0])));
    settings.dataBits = *dataBits;
    settings.stopBits = *stopBits;
    if (settings.parity != 'n' && settings.parity != 'e' && settings.parity != 'o')
        return std::nullopt;
    if (settings.dataBits < 5 || settings.dataBits > 8) return std::nullopt;
    if (settings.stopBits != 1 && settings.stopBits != 2) return std::nullopt;
    return settings;
}

std::string serialDevicePath(std::string_view portName) {
    if (portName.empty() || portName.front() == '/') return std::string(portName);
    return "/dev/" + std::string(portName);
}

}  // namespace zolk
