#include "app/settings_file.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "app/ini_file.h"

namespace zolk {
namespace {

using Field = std::variant<std::string Settings::*, std::int16_t Settings::*, std::uint8_t Settings::*,
                           std::int32_t Settings::*>;

struct SettingKey {
    std::string_view section;
    std::string_view key;
    Field field;
    // Valid range of a numeric key; a stored number outside it is treated as absent.
    std::int32_t min = 0;
    std::int32_t max = 0;
    // Written only while the PTT menu item is shown.
    bool pttGroup = false;
};

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// In load order.
const std::array<SettingKey, 27> kKeys{{
    {"Soundcard", "Input Device Name", &Settings::InputDeviceName},
    {"Soundcard", "Output Device Name", &Settings::OutputDeviceName},
    {"Soundcard", "UZ-Board Device Path", &Settings::UzBoardDevicePath, 0, 0, true},
    {"Soundcard", "ALC Drive Level", &Settings::TxDriveLevel, -30, 0},  // the drive slider's range
    {"PTT", "Rig", &Settings::Rig, 1, 132, true},                          // the radio table's entries
    {"PTT", "PTTPort", &Settings::PttPort, 0, 0, true},
    {"PTT", "CATPort", &Settings::CatPort, 0, 0, true},
    {"PTT", "Baud", &Settings::CatBaud, 0, 0, true},
    {"PTT", "Pin", &Settings::PttPin, 1, 3, true},
    {"PTT", "RTS", &Settings::CatRts, 0, 1, true},
    {"PTT", "DTR", &Settings::CatDtr, 0, 1, true},
    {"PTT", "Via", &Settings::PttVia, 1, 5, true},  // 5: rigctld, our own
    {"PTT", "Icom Address", &Settings::IcomAddress, 0, 0, true},
    {"Setup", "WaterFall", &Settings::WaterfallMode, 0, 2},
    {"Setup", "TCP Command Port", &Settings::CommandPortNumber, 1025, 65534},  // what the setup dialog accepts
    {"Setup", "Retries", &Settings::RetryLimit, 1, 255},
    {"Setup", "View", &Settings::ViewMode, 1, 3},
    {"Setup", "TCP Listen All", &Settings::TcpListenAll, 0, 1},  // our own: host ports open to the network
    {"Monitor", "Monitor Mode", &Settings::MonitorMode, 0, 1},
    {"Log", "Log Caption", &Settings::LogCaption},
    {"Position", "Top Position", &Settings::TopPosition, kInt32Min, kInt32Max},
    {"Position", "Left Position", &Settings::LeftPosition, kInt32Min, kInt32Max},
    {"Calibrate", "Target", &Settings::CalibrationTarget},
    // Our own PTT keys: other CM108-style boards, and rigctld.
    {"Soundcard", "UZ-Board IDs", &Settings::UzBoardIds, 0, 0, true},
    {"Soundcard", "UZ-Board GPIO", &Settings::UzBoardGpio, 1, 8, true},
    {"Setup", "Rigctld Host", &Settings::RigctldHost, 0, 0, true},
    {"Setup", "Rigctld Port", &Settings::RigctldPort, 1, 65535, true},
}};

// Indices into kKeys in save order: the sound card keys, the PTT group, then the rest.
constexpr std::array<std::size_t, 27> kSaveOrder{0,  1,  3,  2,  23, 24, 4,  5,  6,  7,  8,  9,  10, 11,
                                                 12, 13, 14, 15, 16, 17, 25, 26, 18, 19, 20, 21, 22};

// The whole text must be one decimal integer inside [min, max].
std::optional<std::int32_t> parseNumber(std::string_view text, std::int32_t min, std::int32_t max) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (number < min || number > max) return std::nullopt;
    return static_cast<std::int32_t>(number);
}

}  // namespace

Settings LoadSettings(const std::filesystem::path& file) {
    const auto ini = IniFile::load(file);
    Settings settings;
    for (const auto& entry : kKeys) {
        const auto stored = ini.value(entry.section, entry.key);
        if (!stored) continue;
        std::visit(
            [&](auto member) {
                auto& target = settings.*member;
                using Value = std::remove_reference_t<decltype(target)>;
                if constexpr (std::is_same_v<Value, std::string>) {
                    target = *stored;
                } else if (const auto number = parseNumber(*stored, entry.min, entry.max)) {
                    target = static_cast<Value>(*number);
                }
            },
            entry.field);
    }
    return settings;
}

bool SaveSettings(const Settings& settings, bool pttMenuShown, const std::filesystem::path& file) {
    auto ini = IniFile::load(file);
    for (const auto index : kSaveOrder) {
        const auto& entry = kKeys[index];
        if (entry.pttGroup && !pttMenuShown) continue;
        std::visit(
            [&](auto member) {
                const auto& value = settings.*member;
                if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string>) {
                    ini.set(entry.section, entry.key, value);
                } else {
                    ini.set(entry.section, entry.key, std::to_string(value));
                }
            },
            entry.field);
    }
    return ini.save(file);
}

}  // namespace zolk
