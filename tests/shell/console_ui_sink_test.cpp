#include "shell/console_ui_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zolk::shell {
namespace {

// The lines written to a stream, without their time stamps.
std::vector<std::string> linesOf(std::FILE* stream) {
    std::rewind(stream);
    std::vector<std::string> lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, stream) != nullptr) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line.substr(line.find(' ') + 1));  // "HH:MM:SS.mmm " first
    }
    return lines;
}

class ConsoleUiSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_out, nullptr);
        ASSERT_NE(m_err, nullptr);
    }
    void TearDown() override {
        std::fclose(m_out);
        std::fclose(m_err);
    }
    std::FILE* m_out = std::tmpfile();
    std::FILE* m_err = std::tmpfile();
};

TEST_F(ConsoleUiSinkTest, PrintsPanelChangesOnce) {
    ConsoleUiSink sink(m_out, m_err);
    sink.setPanelText("PTT", "");  // still empty: nothing to tell
    sink.setPanelText("PTT", "TX");
    sink.setPanelText("PTT", "TX");
    sink.setPanelIcon("PTT", "LedRojo");
    sink.setPanelIcon("PTT", "LedRojo");
    sink.setPanelTip("TCP", "TCP Ports disconnected");
    sink.setPanelText("PTT", "RX");
    sink.setPanelIcon("PTT", "");
    sink.setCaption("ZOLK SAT v9.8.7      ");
    const std::vector<std::string> expected{
        "Panel PTT: TX", "Panel PTT icon: LedRojo", "Panel TCP tip: TCP Ports disconnected",
        "Panel PTT: RX", "Panel PTT icon: none",    "Caption: ZOLK SAT v9.8.7      ",
    };
    EXPECT_EQ(linesOf(m_out), expected);
    EXPECT_TRUE(linesOf(m_err).empty());
}

TEST_F(ConsoleUiSinkTest, MessagesGoToStandardErrorAndMonitorTextLineByLine) {
    ConsoleUiSink sink(m_out, m_err);
    sink.messageBox("ZOLK SAT", "Not while connection is in progress");
    sink.logLine("Audio input is closed");
    sink.appendMonitor("first line\r\nsecond");
    sink.showSnr(12.46F);
    sink.showSnr(-3.0F);
    sink.showAfc(0.0F);
    sink.resetSpeedChart(ChartColour::Red);
    sink.addSpeedChartPoint(1383);
    sink.addSpeedChartPoint(0);
    const std::vector<std::string> err{"ZOLK SAT: Not while connection is in progress", "Audio input is closed"};
    EXPECT_EQ(linesOf(m_err), err);
    const std::vector<std::string> out{"Monitor: first line", "Monitor: second", "S/N (2500 Hz): +12.5 dB",
                                       "S/N (2500 Hz): -3.0 dB", "AFC: 0.0 Hz",
                                       "Speed: 1383 bps",         "Speed: frame lost"};
    EXPECT_EQ(linesOf(m_out), out);
}

}  // namespace
}  // namespace zolk::shell
