#include "radio/radio_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "phy/common/audio_engine.h"
#include "phy/common/mode_table.h"
#include "phy/tx/symbol_feeder.h"
#include "radio/radio_control.h"

namespace zolk::test {
namespace {

// Stored settings name radios by entry number: a sample across the table, both ends included.
TEST(RadioTable, EntryNumbersAreStable) {
    struct Case {
        int rig;
        const char* brand;
        const char* model;
        CatType type;
        int bauds;
        const char* firstBaud;
        const char* address;
    };
    const std::vector<Case> cases{
        {1, "Icom", "IC-703", CatType::IcomCiv, 3, "4800", "68"},
        {4, "Icom", "IC-706MkIIG", CatType::IcomCiv, 1, "19200", "58"},
        {29, "Icom", "IC-7000", CatType::IcomCiv, 4, "19200", "70"},
        {48, "Yaesu", "FT-817", CatType::YaesuBinary, 3, "38400", ""},
        {52, "Yaesu", "FT-897", CatType::YaesuBinary, 3, "4800", ""},
        {73, "Kenwood", "TS-480SAT", CatType::AsciiSemicolon, 6, "4800", ""},
        {87, "Kenwood", "TS-2000", CatType::AsciiSemicolon, 5, "9600", ""},
        {92, "Microtelecom", "Perseus", CatType::IcomCiv, 4, "19200", "04"},
        {98, "TenTec", "Omni-VII", CatType::TenTec, 1, "57600", ""},
        {106, "Icom", "IC-271", CatType::IcomCiv, 2, "1200", "20"},
        {125, "FlexRadio", "SmartSDR", CatType::AsciiSemicolon, 1, "9600", ""},
        {128, "Icom", "IC-7300", CatType::IcomCiv, 5, "115200", "94"},
        {132, "Yaesu", "FT-991", CatType::AsciiSemicolon, 4, "4800", ""},
    };
    for (const auto& c : cases) {
        const RadioModel* m = radioModel(c.rig);
        ASSERT_NE(m, nullptr) << c.rig;
        EXPECT_EQ(m->brand, c.brand) << c.rig;
        EXPECT_EQ(m->model, c.model) << c.rig;
        EXPECT_EQ(m->catType, c.type) << c.rig;
        EXPECT_EQ(m->baudCount, c.bauds) << c.rig;
        EXPECT_EQ(m->baudRates[0], c.firstBaud) << c.rig;
        EXPECT_EQ(m->civAddress, c.address) << c.rig;
        EXPECT_EQ(radioModelNumber(c.model), c.rig);
    }
    EXPECT_EQ(radioModel(0), nullptr);
    EXPECT_EQ(radioModel(kRadioModelCount + 1), nullptr);
    EXPECT_EQ(radioModelNumber("IC-9999"), 0);
    EXPECT_EQ(radioModel(kDefaultRig)->model, "FT-897");
}

// Each dialog model is one table entry of the same brand; baud slots agree with the count.
TEST(RadioTable, BrandListsAndEntriesAgree) {
    std::set<std::string> listed;
    for (const RadioBrand& brand : radioBrands()) {
        for (std::string_view name : brand.models) {
            EXPECT_TRUE(listed.insert(std::string(name)).second) << name;
            const RadioModel* m = radioModel(radioModelNumber(name));
            ASSERT_NE(m, nullptr) << name;
            EXPECT_EQ(m->brand, brand.name) << name;
        }
    }
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(kRadioModelCount));
    for (int rig = 1; rig <= kRadioModelCount; ++rig) {
        const RadioModel& m = *radioModel(rig);
        for (std::size_t i = 0; i < m.baudRates.size(); ++i) {
            EXPECT_EQ(m.baudRates[i].empty(), i >= m.baudCount) << m.model << " slot " << i;
        }
        EXPECT_EQ(m.catType == CatType::IcomCiv, !m.civAddress.empty()) << m.model;
        EXPECT_EQ(hexToBytes(m.civAddress).size(), m.civAddress.empty() ? 0u : 1u) << m.model;
    }
}

TEST(RadioTable, HexToBytes) {
    struct Case {
        const char* text;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"", ""},
        {"   ", ""},
        {"5e", "\x5E"},
        {" 5E ", "\x5E"},
        {"A", "\xA0"},
        {"94E0", "\x94\xE0"},
        {"ZZ", std::string(1, '\0')},  // not hexadecimal: 0
    };
    for (const auto& c : cases) EXPECT_EQ(hexToBytes(c.text), c.bytes) << '"' << c.text << '"';
}

TEST(RadioTable, PortSettingsText) {
    struct Case {
        const char* model;
        const char* baud;
        const char* text;
    };
    const std::vector<Case> cases{
        {"TS-2000", "4800", "4800,n,8,2"},    {"TS-2000", "9600", "9600,n,8,1"},
        {"FT-897", "9600", "9600,n,8,2"},     {"IC-7300", "4800", "4800,n,8,1"},
        {"Omni-VII", "57600", "57600,n,8,1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(catPortSettings(*radioModel(radioModelNumber(c.model)), c.baud), c.text)
            << c.model;
    }
    EXPECT_EQ(parseSerialSettings("4800,N,8,2"), (SerialSettings{4800, 'n', 8, 2}));
    for (const char* bad :
         {"", "4800", "4800,n,8", "4800,x,8,1", "fast,n,8,1", "4800,n,8,3", "4800,n,8,1,1"}) {
        EXPECT_FALSE(parseSerialSettings(bad).has_value()) << bad;
    }
    EXPECT_EQ(serialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(serialDevicePath("/dev/serial/by-id/usb-FTDI-if00"),
              "/dev/serial/by-id/usb-FTDI-if00");
}

// The safety limit must leave room for the longest transmission the modem makes: the long lead-in
// tone with its lead-in blocks, a burst of two frames of the slowest mode, the silent tail blocks
// and the 200 queued playback buffers; about 22 s.
TEST(RadioTable, SafetyLimitCoversTheLongestTransmission) {
    double longestFrameSeconds = 0;
    for (const ModeRecord& mode : ModeTable) {
        longestFrameSeconds = std::max(longestFrameSeconds, mode.FrameLengthUnits / 1500.0);
    }
    const double toneBlockSeconds = kToneBlockLength / 48000.0;
    const double leadInSeconds =
        (SymbolFeeder::LongToneBlocks + kToneBlockLeadInBlocks) * toneBlockSeconds;
    const double tailSeconds = kToneBlockTailBlocks * toneBlockSeconds;
    const double queueSeconds = 200 * kAudioBlockLength / 48000.0;
    const double longest = leadInSeconds + 2 * longestFrameSeconds + tailSeconds + queueSeconds;
    EXPECT_NEAR(longest, 22.0, 0.5);
    // At least a third of the limit is margin.
    EXPECT_LT(longest, kPttSafetyLimit.count() / 1000.0 * 2 / 3) << longest;
}

}  // namespace
}  // namespace zolk::test
