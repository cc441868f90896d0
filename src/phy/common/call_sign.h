// call_sign.h: the call-sign rules of the host protocol and the air interface (validity, base
// call, SSID, hash and seed). Pure functions; storing call signs is the host protocol's job.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zolk {

// ASCII letters a..z to A..Z; every other byte unchanged (call signs and commands are ASCII).
std::string upperAscii(std::string_view text);

// The text before the first dash (all of c without one), in upper case.
std::string baseCall(std::string_view c);

// 0 without a dash; after the first dash "T" 16, "R" 17, "X" 18, a decimal number its value,
// anything else 0.
int ssidOf(std::string_view c);

// Case-insensitive: a base call of at most 7 letters or digits, optionally followed by a dash and
// T, R, X, a digit 1..9 or two digits worth 1..18. The empty text is valid (an empty call-sign
// slot); a dash needs a base call before it.
bool callSignValid(std::string_view c);

// The frame check sequence (Crc16Ccitt) over the call sign's bytes.
std::uint16_t callHash(std::string_view c);

// High byte times low byte of CallHash, plus 257: 257..65282.
std::int32_t callSeed(std::string_view c);

}  // namespace zolk
