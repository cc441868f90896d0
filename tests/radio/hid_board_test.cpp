#include <gtest/gtest.h>

#include "radio/hid_ptt_board.h"
#include "radio_fakes.h"

namespace zolk::test {
namespace {

const HidDeviceInfo kBoardA{"/dev/hidraw1", 0x0D8C, 0x013A};
const HidDeviceInfo kBoardB{"/dev/hidraw4", 0x0D8C, 0x0008};
const HidDeviceInfo kBoardC{"/dev/hidraw6", 0x0D8C, 0x013A};
const HidDeviceInfo kKeyboard{"/dev/hidraw0", 0x046D, 0xC31C};
const HidDeviceInfo kOtherCMedia{"/dev/hidraw2", 0x0D8C, 0x0012};  // same vendor, another product

TEST(HidPttBoard, OnlyKnownVendorAndProductCount) {
    FakeHidDevices hid;
    HidPttBoard board(hid);
    struct Case {
        std::vector<HidDeviceInfo> present;
        int boards;
    };
    const std::vector<Case> cases{
        {{}, 0},
        {{kKeyboard, kOtherCMedia}, 0},
        {{kKeyboard, kBoardA}, 1},
        {{kBoardA, kBoardB}, 2},
        {{kBoardA, kOtherCMedia, kBoardB, kBoardC}, 3},
        // One board listed twice (two HID usages of one device) is one board.
        {{kBoardA, kBoardA}, 1},
    };
    for (const auto& c : cases) {
        hid.present = c.present;
        EXPECT_EQ(board.countBoards(), c.boards) << c.present.size();
    }
}

TEST(HidPttBoard, OpensByIndexAndByPath) {
    FakeHidDevices hid;
    HidPttBoard board(hid);
    hid.present = {kKeyboard, kBoardA, kOtherCMedia, kBoardB};
    EXPECT_EQ(board.openBoardByIndex(2), kBoardB.path);
    EXPECT_EQ(hid.openPath, kBoardB.path);
    EXPECT_EQ(board.openBoardByIndex(3), "");
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(board.openBoardByIndex(0), "");

    EXPECT_EQ(board.openBoardByPath(""), 0);
    EXPECT_EQ(board.openBoardByPath(kBoardA.path), 1);
    EXPECT_EQ(hid.openPath, kBoardA.path);
    EXPECT_EQ(board.openBoardByPath(kBoardB.path), 2);
    EXPECT_EQ(hid.openPath, kBoardB.path);
    // A path no board has: nothing stays open, the count of boards comes back.
    EXPECT_EQ(board.openBoardByPath("/dev/hidraw9"), 2);
    EXPECT_FALSE(hid.isOpen());
    // The keyboard is never opened, even by its path.
    EXPECT_EQ(board.openBoardByPath(kKeyboard.path), 2);
    EXPECT_FALSE(hid.isOpen());
}

TEST(HidPttBoard, ReportKeysTheConfiguredPin) {
    FakeHidDevices hid;
    HidPttBoard board(hid);
    EXPECT_EQ(board.report(true), (std::vector<std::uint8_t>{0, 0, 4, 4, 0}));
    EXPECT_EQ(board.report(false), (std::vector<std::uint8_t>{0, 0, 4, 0, 0}));
    board.configure(kDefaultPttBoardIds, 1);
    EXPECT_EQ(board.report(true), (std::vector<std::uint8_t>{0, 0, 1, 1, 0}));
    board.configure(kDefaultPttBoardIds, 8);
    EXPECT_EQ(board.report(true), (std::vector<std::uint8_t>{0, 0, 0x80, 0x80, 0}));
    EXPECT_FALSE(board.setPtt(true)) << "no board open";
}

TEST(HidPttBoard, UsbIdListsParseAndPrint) {
    EXPECT_EQ(parseUsbIds("0D8C:013A,0d8c:0008"), kDefaultPttBoardIds);
    EXPECT_EQ(formatUsbIds(kDefaultPttBoardIds), "0D8C:013A,0D8C:0008");
    EXPECT_EQ(parseUsbIds(" 0D8C : 000C "), (std::vector<UsbId>{{0x0D8C, 0x000C}}));
    for (const char* bad :
         {"", "0D8C", "0D8C:", "0D8C:013A,", "XYZ:0001", "12345:0001", "0D8C;013A"}) {
        EXPECT_FALSE(parseUsbIds(bad).has_value()) << bad;
    }
}

class BoardKeyingTest : public RadioControlFixture<> {
protected:
    BoardKeyingTest() {
        radio.setPttExternal(false);
        RadioSettings s;
        s.via = PttVia::HidBoard;
        radio.configure(s);
    }
    void withStoredPath(const std::string& path) {
        RadioSettings s = radio.settings();
        s.boardPath = path;
        radio.configure(s);
    }
    void keyAndRelease() {
        radio.pttOn();
        radio.onTimer(TimerId::KeyPtt);
        radio.pttOff();
    }
};

TEST_F(BoardKeyingTest, NoBoardIsReported) {
    hid.present = {kKeyboard};
    radio.openConfiguredBoard();
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0],
              (std::pair<std::string, std::string>{"ZOLK SAT", "UZ-Board device not found"}));
}

TEST_F(BoardKeyingTest, TheOnlyBoardIsStoredWithoutAsking) {
    hid.present = {kKeyboard, kBoardB};
    radio.openConfiguredBoard();
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_EQ(host.storedPath, kBoardB.path);
    keyAndRelease();
    ASSERT_EQ(hid.reports.size(), 2u);
    EXPECT_EQ(hid.reports[0].first, kBoardB.path);
    EXPECT_EQ(hid.reports[0].second, (std::vector<std::uint8_t>{0, 0, 4, 4, 0}));
    EXPECT_EQ(hid.reports[1].second, (std::vector<std::uint8_t>{0, 0, 4, 0, 0}));
}

TEST_F(BoardKeyingTest, SeveralBoardsUseTheStoredOneOrAsk) {
    hid.present = {kBoardA, kBoardC};
    radio.openConfiguredBoard();
    EXPECT_EQ(ui.messageBoxes().back().second, "Please, select the UZ-Board PTT device");
    EXPECT_EQ(host.chooseRequests, 1);

    withStoredPath(kBoardC.path);
    radio.openConfiguredBoard();
    EXPECT_EQ(hid.openPath, kBoardC.path);
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
    keyAndRelease();
    EXPECT_EQ(hid.reports.front().first, kBoardC.path);
}

// The stored board is gone while two others are present: nothing is opened at start-up, and the
// first key-up says so instead of keying nothing in silence.
TEST_F(BoardKeyingTest, MissingStoredBoardIsReportedAtKeyUp) {
    hid.present = {kBoardA, kBoardC};
    withStoredPath("/dev/hidraw9");
    radio.openConfiguredBoard();
    EXPECT_TRUE(ui.messageBoxes().empty());
    keyAndRelease();
    EXPECT_TRUE(hid.reports.empty());
    ASSERT_EQ(ui.logLines().size(), 1u);
    EXPECT_EQ(ui.logLines()[0],
              "PTT ON: the radio was not keyed: the UZ-Board /dev/hidraw9 cannot be written");
}

TEST_F(BoardKeyingTest, UnpluggedBoardIsReopenedAtTheNextKeyUp) {
    hid.present = {kBoardA};
    radio.openConfiguredBoard();
    withStoredPath(host.storedPath);
    hid.unplugged = true;
    keyAndRelease();
    EXPECT_EQ(ui.logLines().size(), 1u);
    EXPECT_FALSE(hid.isOpen());
    hid.unplugged = false;  // plugged in again
    keyAndRelease();
    ASSERT_EQ(hid.reports.size(), 2u);
    EXPECT_EQ(hid.reports[0].second[3], 4);
    EXPECT_EQ(hid.reports[1].second[3], 0);
}

TEST_F(BoardKeyingTest, OtherBoardsAndPinsByConfiguration) {
    const HidDeviceInfo cm119{"/dev/hidraw3", 0x0D8C, 0x000C};
    hid.present = {kBoardA, cm119};
    RadioSettings s = radio.settings();
    s.boardIds = {{0x0D8C, 0x000C}};
    s.boardGpio = 2;
    radio.configure(s);
    radio.openConfiguredBoard();
    EXPECT_EQ(host.storedPath, cm119.path);
    withStoredPath(cm119.path);
    keyAndRelease();
    ASSERT_EQ(hid.reports.size(), 2u);
    EXPECT_EQ(hid.reports[0],
              (std::pair<std::string, std::vector<std::uint8_t>>{cm119.path, {0, 0, 2, 2, 0}}));
}

TEST_F(BoardKeyingTest, OtherWaysNeverTouchHid) {
    RadioSettings s;
    s.via = PttVia::Vox;
    radio.configure(s);
    hid.present = {kBoardA};
    radio.openConfiguredBoard();
    keyAndRelease();
    EXPECT_FALSE(hid.isOpen());
    EXPECT_TRUE(hid.reports.empty());
    EXPECT_TRUE(ui.messageBoxes().empty());
}

}  // namespace
}  // namespace zolk::test
