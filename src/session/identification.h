// identification.h: the payload of the frame by which a caller hands its call sign over: the base
// call in upper case padded with spaces to 7 bytes, then one SSID byte (0 none, 16 T, 17 R, 18 X,
// otherwise the number).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zolk {

constexpr std::size_t kIdentificationBytes = 8;

std::array<std::uint8_t, kIdentificationBytes> identificationPayload(std::string_view call);

// The caller's call sign as the host is told it ("N0CALL-7"), or nothing when the base call is
// empty or holds anything but letters and digits. The bytes come off the air, and the call sign
// goes into a host reply line: a space, CR or control byte there would forge or split replies.
// A payload cut short of the SSID byte reads as one without SSID.
std::optional<std::string> callFromIdentification(std::span<const std::uint8_t> payload);

}  // namespace zolk
