// radio_table.h: the radios the modem keys by CAT: brands, models, baud rates, how each model is
// keyed and the Icom CI-V defaults. Entry numbers are stored in the settings ("Rig"), so they
// never change; new radios go at the end.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zolk {

enum class CatType : std::uint8_t {
    IcomCiv = 1,         // CI-V frames built from the radio's address
    YaesuBinary = 2,     // five-byte binary commands
    AsciiSemicolon = 3,  // ASCII commands ended by ';'
    TenTec = 4,          // ASCII commands ended by CR
};

struct RadioModel {
    std::string_view brand;
    std::string_view model;
    CatType catType;
    std::array<std::string_view, 6> baudRates;  // in offering order; unused slots empty
    std::uint8_t baudCount;
    std::string_view pttOnBytes;  // types 2 to 4; empty when the model cannot be keyed by CAT
    std::string_view pttOffBytes;
    std::string_view civAddress;  // type 1: default CI-V address, two hexadecimal digits
};

inline constexpr int kRadioModelCount = 132;
inline constexpr int kDefaultRig = 52;  // FT-897

// Brands in list order, and each brand's models in the order the PTT dialog lists them.
struct RadioBrand {
    std::string_view name;
    std::span<const std::string_view> models;
    std::string_view defaultModel;  // offered when the stored radio is not one of the brand's
};
std::span<const RadioBrand> radioBrands();
// The brand of entry rig, nullptr for a number outside the table.
const RadioBrand* brandOf(int rig);

// Entry 1..132; nullptr for any other number.
const RadioModel* radioModel(int rig);
// The entry number of a model name, 0 when there is none.
int radioModelNumber(std::string_view model);

// Trims blanks, pads an odd length with "0" and converts each pair of hexadecimal digits to a byte;
// a pair that is not hexadecimal gives 0. Empty text gives no bytes.
std::string hexToBytes(std::string_view text);

// The bytes that key (on) or release the model's transmitter. Icom: FE FE, the address (the
// configured one, or the model's default when empty), E0 1C 00 01/00 FD.
std::string catPttBytes(const RadioModel& model, std::string_view icomAddress, bool on);

// Serial settings for CAT, in lower case: "4800,n,8,2". Yaesu binary runs two stop bits, ASCII
// commands two at 4800 baud and one otherwise, Icom and TenTec one.
std::string catPortSettings(const RadioModel& model, std::string_view baud);

}  // namespace zolk
