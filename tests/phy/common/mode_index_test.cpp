#include "phy/common/mode_index.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "phy/common/contract.h"

namespace zolk {
namespace {

TEST(ModeIndexTest, OnlyTheTablesModesPassTheCheck) {
    struct Case { int number; bool mode; };
    constexpr Case kCases[] = {{-1, false}, {0, true}, {7, true}, {14, true}, {15, false}, {255, false}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(ModeIndex::valid(c.number), c.mode);
        EXPECT_EQ(ModeIndex::tryFrom(c.number).has_value(), c.mode);
        if (c.mode) {
            EXPECT_EQ(static_cast<int>(ModeIndex(c.number)), c.number);
            EXPECT_EQ(*ModeIndex::tryFrom(c.number), ModeIndex(c.number));
        } else {
            EXPECT_THROW(ModeIndex{c.number}, std::invalid_argument);
        }
    }
    EXPECT_EQ(static_cast<int>(ModeIndex()), 0);
}

TEST(ModeIndexTest, ARefusedNumberIsNamedInTheMessage) {
    try {
        ModeIndex{15};
        FAIL() << "mode 15 was accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "no mode 15 (modes are 0..14)");
    }
}

TEST(ContractTest, ABrokenPromiseStopsTheProgramAndSaysWhere) {
    EXPECT_DEATH(expects(false, "the caller's promise"), "broken promise at .*mode_index_test.cpp:[0-9]+.*the caller's promise");
    expects(true, "kept");
}

}  // namespace
}  // namespace zolk
