#include "radio/radio_table.h"

#include <algorithm>
#include <cctype>

namespace zolk {

using namespace std::string_view_literals;

namespace {

// One entry per line: brand, model, CAT type, baud rates, baud count, PTT on, PTT off, CI-V
// address.
// clang-format off
constexpr std::array<RadioModel, kRadioModelCount> kModels{{
    {"Icom"sv, "IC-703"sv, CatType::IcomCiv, {"4800"sv, "9600"sv, "1200"sv}, 3, {}, {}, "68"sv},  // 1
    {"Icom"sv, "IC-706"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "48"sv},  // 2
    {"Icom"sv, "IC-706MkII"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "4E"sv},  // 3
    {"Icom"sv, "IC-706MkIIG"sv, CatType::IcomCiv, {"19200"sv}, 1, {}, {}, "58"sv},  // 4
    {"Icom"sv, "IC-707"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "3E"sv},  // 5
    {"Icom"sv, "IC-718"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "5E"sv},  // 6
    {"Icom"sv, "IC-725"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "28"sv},  // 7
    {"Icom"sv, "IC-726"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "30"sv},  // 8
    {"Icom"sv, "IC-728"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "38"sv},  // 9
    {"Icom"sv, "IC-729"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "3A"sv},  // 10
    {"Icom"sv, "IC-735"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "04"sv},  // 11
    {"Icom"sv, "IC-736"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "40"sv},  // 12
    {"Icom"sv, "IC-737"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "3C"sv},  // 13
    {"Icom"sv, "IC-738"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "44"sv},  // 14
    {"Icom"sv, "IC-746"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "56"sv},  // 15
    {"Icom"sv, "IC-746Pro"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "66"sv},  // 16
    {"Icom"sv, "IC-751"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "1C"sv},  // 17
    {"Icom"sv, "IC-756"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "50"sv},  // 18
    {"Icom"sv, "IC-756Pro"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "5C"sv},  // 19
    {"Icom"sv, "IC-756ProII"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "64"sv},  // 20
    {"Icom"sv, "IC-756ProIII"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "6E"sv},  // 21
    {"Icom"sv, "IC-761"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "1E"sv},  // 22
    {"Icom"sv, "IC-765"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "2C"sv},  // 23
    {"Icom"sv, "IC-775"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "46"sv},  // 24
    {"Icom"sv, "IC-781"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "26"sv},  // 25
    {"Icom"sv, "IC-821"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "4C"sv},  // 26
    {"Icom"sv, "IC-910"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "60"sv},  // 27
    {"Icom"sv, "IC-970"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "2E"sv},  // 28
    {"Icom"sv, "IC-7000"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "70"sv},  // 29
    {"Icom"sv, "IC-7200"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "76"sv},  // 30
    {"Icom"sv, "IC-7400"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "66"sv},  // 31
    {"Icom"sv, "IC-7600"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "7A"sv},  // 32
    {"Icom"sv, "IC-7700"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "74"sv},  // 33
    {"Icom"sv, "IC-7800"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "6A"sv},  // 34
    {"Icom"sv, "IC-R10"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "52"sv},  // 35
    {"Icom"sv, "IC-R20"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "6C"sv},  // 36
    {"Icom"sv, "IC-R71"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "1A"sv},  // 37
    {"Icom"sv, "IC-R72"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "32"sv},  // 38
    {"Icom"sv, "IC-R75"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "5A"sv},  // 39
    {"Icom"sv, "IC-R7000"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "08"sv},  // 40
    {"Icom"sv, "IC-R7100"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "34"sv},  // 41
    {"Icom"sv, "IC-R8500"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "4A"sv},  // 42
    {"Icom"sv, "IC-R9000"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "2A"sv},  // 43
    {"Icom"sv, "IC-R9500"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "72"sv},  // 44
    {"Yaesu"sv, "FT-100"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 45
    {"Yaesu"sv, "FT-600"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 46
    {"Yaesu"sv, "FT-736"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x00\x08"sv, "\x00\x00\x00\x00\x88"sv, {}},  // 47
    {"Yaesu"sv, "FT-817"sv, CatType::YaesuBinary, {"38400"sv, "9600"sv, "4800"sv}, 3, "\x00\x00\x00\x00\x08"sv, "\x00\x00\x00\x00\x88"sv, {}},  // 48
    {"Yaesu"sv, "FT-840"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 49
    {"Yaesu"sv, "FT-847"sv, CatType::YaesuBinary, {"57600"sv, "9600"sv, "4800"sv}, 3, "\x00\x00\x00\x00\x08"sv, "\x00\x00\x00\x00\x88"sv, {}},  // 50
    {"Yaesu"sv, "FT-857"sv, CatType::YaesuBinary, {"38400"sv, "9600"sv, "4800"sv}, 3, "\x00\x00\x00\x00\x08"sv, "\x00\x00\x00\x00\x88"sv, {}},  // 51
    {"Yaesu"sv, "FT-897"sv, CatType::YaesuBinary, {"4800"sv, "9600"sv, "38400"sv}, 3, "\x00\x00\x00\x00\x08"sv, "\x00\x00\x00\x00\x88"sv, {}},  // 52
    {"Yaesu"sv, "FT-900"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 53
    {"Yaesu"sv, "FT-920"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 54
    {"Yaesu"sv, "FT-990"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 55
    {"Yaesu"sv, "FT-1000"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 56
    {"Yaesu"sv, "FT-1000MP"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 57
    {"Yaesu"sv, "FT-1000MkV"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 58
    {"Yaesu"sv, "FT-450"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 59
    {"Yaesu"sv, "FT-950"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 60
    {"Yaesu"sv, "FT-2000"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 61
    {"Yaesu"sv, "FT-2000D"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 62
    {"Yaesu"sv, "FT-5000"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 63
    {"Yaesu"sv, "FT-9000D"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 64
    {"Yaesu"sv, "FT-9000CST"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 65
    {"Yaesu"sv, "FT-9000MP"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 66
    {"Kenwood"sv, "TS-50"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 67
    {"Kenwood"sv, "TS-60"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 68
    {"Kenwood"sv, "TS-140"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 69
    {"Kenwood"sv, "TS-440"sv, CatType::AsciiSemicolon, {"4800"sv, "57600"sv, "38400"sv, "19200"sv, "9600"sv}, 5, "TX;"sv, "RX;"sv, {}},  // 70
    {"Kenwood"sv, "TS-450"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 71
    {"Kenwood"sv, "TS-480HX"sv, CatType::AsciiSemicolon, {"4800"sv, "115200"sv, "57600"sv, "38400"sv, "19200"sv, "9600"sv}, 6, "TX1;"sv, "RX;"sv, {}},  // 72
    {"Kenwood"sv, "TS-480SAT"sv, CatType::AsciiSemicolon, {"4800"sv, "115200"sv, "57600"sv, "38400"sv, "19200"sv, "9600"sv}, 6, "TX1;"sv, "RX;"sv, {}},  // 73
    {"Kenwood"sv, "TS-570"sv, CatType::AsciiSemicolon, {"9600"sv, "4800"sv, "19200"sv, "38400"sv, "57600"sv}, 5, "TX;"sv, "RX;"sv, {}},  // 74
    {"Kenwood"sv, "TS-680"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 75
    {"Kenwood"sv, "TS-690"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 76
    {"Kenwood"sv, "TS-711"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 77
    {"Kenwood"sv, "TS-770"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 78
    {"Kenwood"sv, "TS-780"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 79
    {"Kenwood"sv, "TS-790"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 80
    {"Kenwood"sv, "TS-811"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 81
    {"Kenwood"sv, "TS-850"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 82
    {"Kenwood"sv, "TS-870"sv, CatType::AsciiSemicolon, {"4800"sv, "57600"sv, "38400"sv, "19200"sv, "9600"sv}, 5, "TX;"sv, "RX;"sv, {}},  // 83
    {"Kenwood"sv, "TS-930"sv, CatType::AsciiSemicolon, {"4800"sv, "9600"sv}, 2, "TX;"sv, "RX;"sv, {}},  // 84
    {"Kenwood"sv, "TS-940"sv, CatType::AsciiSemicolon, {"4800"sv, "9600"sv}, 2, "TX;"sv, "RX;"sv, {}},  // 85
    {"Kenwood"sv, "TS-950"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 86
    {"Kenwood"sv, "TS-2000"sv, CatType::AsciiSemicolon, {"9600"sv, "4800"sv, "19200"sv, "38400"sv, "57600"sv}, 5, "TX;"sv, "RX;"sv, {}},  // 87
    {"Kenwood"sv, "R-5000"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, {}, {}, {}},  // 88
    {"FlexRadio"sv, "PowerSDR"sv, CatType::AsciiSemicolon, {"9600"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 89
    {"Elecraft"sv, "K2"sv, CatType::AsciiSemicolon, {"4800"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 90
    {"Elecraft"sv, "K3"sv, CatType::AsciiSemicolon, {"4800"sv, "9600"sv, "19200"sv, "38400"sv}, 4, "TX;"sv, "RX;"sv, {}},  // 91
    {"Microtelecom"sv, "Perseus"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "04"sv},  // 92
    {"TenTec"sv, "Eagle"sv, CatType::TenTec, {"57600"sv}, 1, "*TK\x0D"sv, "*TU\x0D"sv, {}},  // 93
    {"TenTec"sv, "Orion"sv, CatType::TenTec, {"57600"sv}, 1, "*TK\x0D"sv, "*TU\x0D"sv, {}},  // 94
    {"TenTec"sv, "Jupiter"sv, CatType::TenTec, {"57600"sv}, 1, {}, {}, {}},  // 95
    {"TenTec"sv, "Argonaut"sv, CatType::TenTec, {"1200"sv}, 1, "#0\x0D"sv, "#1\x0D"sv, {}},  // 96
    {"TenTec"sv, "RX-350"sv, CatType::TenTec, {"57600"sv}, 1, {}, {}, {}},  // 97
    {"TenTec"sv, "Omni-VII"sv, CatType::TenTec, {"57600"sv}, 1, "*T\x04\x00\x0D"sv, "*T\x00\x00\x0D"sv, {}},  // 98
    {"Yaesu"sv, "FT-890"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 99
    {"Yaesu"sv, "VR-5000"sv, CatType::YaesuBinary, {"4800"sv, "9600"sv, "57600"sv}, 3, {}, {}, {}},  // 100
    {"Kenwood"sv, "TS-590S"sv, CatType::AsciiSemicolon, {"9600"sv, "4800"sv, "19200"sv, "38400"sv, "57600"sv, "115200"sv}, 6, "TX1;"sv, "RX;"sv, {}},  // 101
    {"Yaesu"sv, "FT-747"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 102
    {"Yaesu"sv, "FT-757GXII"sv, CatType::YaesuBinary, {"4800"sv}, 1, {}, {}, {}},  // 103
    {"Icom"sv, "IC-1271"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "24"sv},  // 104
    {"Icom"sv, "IC-1275"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "18"sv},  // 105
    {"Icom"sv, "IC-271"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "20"sv},  // 106
    {"Icom"sv, "IC-275"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "10"sv},  // 107
    {"Icom"sv, "IC-375"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "12"sv},  // 108
    {"Icom"sv, "IC-471"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "22"sv},  // 109
    {"Icom"sv, "IC-475"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "14"sv},  // 110
    {"Icom"sv, "IC-575"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "16"sv},  // 111
    {"Icom"sv, "IC-78"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "62"sv},  // 112
    {"Icom"sv, "IC-820"sv, CatType::IcomCiv, {"1200"sv, "9600"sv}, 2, {}, {}, "42"sv},  // 113
    {"Icom"sv, "IC-731"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "04"sv},  // 114
    {"Icom"sv, "IC-RX7"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "78"sv},  // 115
    {"Icom"sv, "IC-9100"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "7C"sv},  // 116
    {"Yaesu"sv, "FT-450D"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 117
    {"Yaesu"sv, "FT-5000D"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 118
    {"Yaesu"sv, "FT-5000MP"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 119
    {"TenTec"sv, "Pegasus"sv, CatType::TenTec, {"57600"sv}, 1, "Q1\x0D"sv, "Q0\x0D"sv, {}},  // 120
    {"Yaesu"sv, "FT-1000D"sv, CatType::YaesuBinary, {"4800"sv}, 1, "\x00\x00\x00\x01\x0F"sv, "\x00\x00\x00\x00\x0F"sv, {}},  // 121
    {"Icom"sv, "IC-7410"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "80"sv},  // 122
    {"Yaesu"sv, "FT-3000"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 123
    {"Icom"sv, "IC-7100"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "88"sv},  // 124
    {"FlexRadio"sv, "SmartSDR"sv, CatType::AsciiSemicolon, {"9600"sv}, 1, "TX;"sv, "RX;"sv, {}},  // 125
    {"Yaesu"sv, "FT-1200"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 126
    {"Yaesu"sv, "FT-1200FFT"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 127
    {"Icom"sv, "IC-7300"sv, CatType::IcomCiv, {"115200"sv, "19200"sv, "9600"sv, "4800"sv, "1200"sv}, 5, {}, {}, "94"sv},  // 128
    {"Kenwood"sv, "TS-990"sv, CatType::AsciiSemicolon, {"9600"sv, "4800"sv, "19200"sv, "38400"sv, "57600"sv, "115200"sv}, 6, "TX1;"sv, "RX;"sv, {}},  // 129
    {"Kenwood"sv, "TS-590SG"sv, CatType::AsciiSemicolon, {"9600"sv, "4800"sv, "19200"sv, "38400"sv, "57600"sv, "115200"sv}, 6, "TX1;"sv, "RX;"sv, {}},  // 130
    {"Icom"sv, "IC-7851"sv, CatType::IcomCiv, {"19200"sv, "9600"sv, "4800"sv, "1200"sv}, 4, {}, {}, "8E"sv},  // 131
    {"Yaesu"sv, "FT-991"sv, CatType::AsciiSemicolon, {"4800"sv, "38400"sv, "19200"sv, "9600"sv}, 4, "TX1;"sv, "TX0;"sv, {}},  // 132
}};

constexpr std::array<std::string_view, 61> kIcomModels{"IC-78"sv, "IC-271"sv, "IC-275"sv, "IC-375"sv, "IC-471"sv, "IC-475"sv, "IC-575"sv, "IC-703"sv, "IC-706"sv, "IC-706MkII"sv, "IC-706MkIIG"sv, "IC-707"sv, "IC-718"sv, "IC-725"sv, "IC-726"sv, "IC-728"sv, "IC-729"sv, "IC-731"sv, "IC-735"sv, "IC-736"sv, "IC-737"sv, "IC-738"sv, "IC-746"sv, "IC-746Pro"sv, "IC-751"sv, "IC-756"sv, "IC-756Pro"sv, "IC-756ProII"sv, "IC-756ProIII"sv, "IC-761"sv, "IC-765"sv, "IC-775"sv, "IC-781"sv, "IC-820"sv, "IC-821"sv, "IC-910"sv, "IC-970"sv, "IC-1271"sv, "IC-1275"sv, "IC-7000"sv, "IC-7100"sv, "IC-7200"sv, "IC-7300"sv, "IC-7400"sv, "IC-7410"sv, "IC-7600"sv, "IC-7700"sv, "IC-7800"sv, "IC-7851"sv, "IC-9100"sv, "IC-R10"sv, "IC-R20"sv, "IC-R71"sv, "IC-R72"sv, "IC-R75"sv, "IC-R7000"sv, "IC-R7100"sv, "IC-R8500"sv, "IC-R9000"sv, "IC-R9500"sv, "IC-RX7"sv};
constexpr std::array<std::string_view, 34> kYaesuModels{"FT-100"sv, "FT-450"sv, "FT-450D"sv, "FT-600"sv, "FT-736"sv, "FT-747"sv, "FT-757GXII"sv, "FT-817"sv, "FT-840"sv, "FT-847"sv, "FT-857"sv, "FT-890"sv, "FT-897"sv, "FT-900"sv, "FT-920"sv, "FT-950"sv, "FT-990"sv, "FT-991"sv, "FT-1000"sv, "FT-1000D"sv, "FT-1000MP"sv, "FT-1000MkV"sv, "FT-1200"sv, "FT-1200FFT"sv, "FT-2000"sv, "FT-2000D"sv, "FT-3000"sv, "FT-5000"sv, "FT-5000D"sv, "FT-5000MP"sv, "FT-9000D"sv, "FT-9000CST"sv, "FT-9000MP"sv, "VR-5000"sv};
constexpr std::array<std::string_view, 25> kKenwoodModels{"TS-50"sv, "TS-60"sv, "TS-140"sv, "TS-440"sv, "TS-450"sv, "TS-480HX"sv, "TS-480SAT"sv, "TS-570"sv, "TS-590S"sv, "TS-590SG"sv, "TS-680"sv, "TS-690"sv, "TS-711"sv, "TS-770"sv, "TS-780"sv, "TS-790"sv, "TS-811"sv, "TS-850"sv, "TS-870"sv, "TS-930"sv, "TS-940"sv, "TS-950"sv, "TS-990"sv, "TS-2000"sv, "R-5000"sv};
constexpr std::array<std::string_view, 2> kElecraftModels{"K2"sv, "K3"sv};
constexpr std::array<std::string_view, 7> kTenTecModels{"Argonaut"sv, "Eagle"sv, "Jupiter"sv, "Pegasus"sv, "Omni-VII"sv, "Orion"sv, "RX-350"sv};
constexpr std::array<std::string_view, 2> kFlexRadioModels{"PowerSDR"sv, "SmartSDR"sv};
constexpr std::array<std::string_view, 1> kMicrotelecomModels{"Perseus"sv};
// clang-format on

const std::array<RadioBrand, 7> kBrands{{
    {"Icom"sv, kIcomModels, "IC-7000"sv},
    {"Yaesu"sv, kYaesuModels, "FT-897"sv},
    {"Kenwood"sv, kKenwoodModels, "TS-2000"sv},
    {"Elecraft"sv, kElecraftModels, "K3"sv},
    {"TenTec"sv, kTenTecModels, "Jupiter"sv},
    {"FlexRadio"sv, kFlexRadioModels, "SmartSDR"sv},
    {"Microtelecom"sv, kMicrotelecomModels, "Perseus"sv},
}};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::span<const RadioBrand> radioBrands() { return kBrands; }

const RadioBrand* brandOf(int rig) {
    const RadioModel* model = radioModel(rig);
    if (model == nullptr) return nullptr;
    const auto* found = std::find_if(kBrands.begin(), kBrands.end(),
                                     [&](const RadioBrand& brand) { return brand.name == model->brand; });
    return found == kBrands.end() ? nullptr : found;
}

const RadioModel* radioModel(int rig) {
    if (rig < 1 || rig > kRadioModelCount) return nullptr;
    return &kModels[static_cast<std::size_t>(rig - 1)];
}

int radioModelNumber(std::string_view model) {
    const auto* found = std::find_if(kModels.begin(), kModels.end(),
                                     [&](const RadioModel& entry) { return entry.model == model; });
    return found == kModels.end() ? 0 : static_cast<int>(found - kModels.begin()) + 1;
}

std::string hexToBytes(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::string digits(text);
    if (digits.size() % 2 != 0) digits += '0';
    std::string bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        const int low = hexDigit(digits[i + 1]);
        // Text that is not a hexadecimal pair counts as 0, as a radio's address field would.
        bytes += static_cast<char>(high < 0 || low < 0 ? 0 : high * 16 + low);
    }
    return bytes;
}

std::string catPttBytes(const RadioModel& model, std::string_view icomAddress, bool on) {
    if (model.catType != CatType::IcomCiv)
        return std::string(on ? model.pttOnBytes : model.pttOffBytes);
    std::string frame = "\xFE\xFE";
    frame += hexToBytes(icomAddress.empty() ? model.civAddress : icomAddress);
    frame += "\xE0\x1C"sv;
    frame += '\0';
    frame += on ? '\x01' : '\0';
    frame += '\xFD';
    return frame;
}

std::string catPortSettings(const RadioModel& model, std::string_view baud) {
    const bool twoStopBits = model.catType == CatType::YaesuBinary ||
                             (model.catType == CatType::AsciiSemicolon && baud == "4800");
    std::string text = std::string(baud) + (twoStopBits ? ",n,8,2" : ",n,8,1");
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace zolk
