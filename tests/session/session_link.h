// session_link.h: two ArqSessions joined by a fake air in virtual ticks, with recording hosts and
// displays, for tests of whole links. The air carries control codes and data frames with a
// one-way delay, drops what arrives while the receiver transmits, loses frames whose mode needs
// more S/N than the link has, and lets a test lose or corrupt chosen codes and frames.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "phy/common/mode_table.h"
#include "session/arq_session.h"

namespace zolk::test {

inline constexpr std::int32_t kCodeTicks = 992;
inline constexpr std::int32_t kLeadInTicks = 270;
// A transmission reaches the air behind the 200 queued playback blocks of 256 samples.
inline constexpr std::int32_t kPlaybackQueueTicks = 200 * 256 / 32;
// The lead-in tone of the first transmission after a return to idle: 477 blocks of 32 ticks with
// the long selector, 27 with any other.
inline constexpr std::int32_t kLongToneTicks = 477 * 32;
inline constexpr std::int32_t kShortToneTicks = 27 * 32;
// A ping is reported 8 symbol slots after its last symbol.
inline constexpr std::int32_t kPingReportTicks = 8 * 4;

// What the air does to one item: pass it, lose it (never detected) or corrupt it (a frame is
// detected but fails its check; a code is simply lost).
enum class Fate : std::uint8_t { Pass, Lose, Corrupt };

struct AirItem {
    bool isCode = true;
    // A link calibration ping or reply: its code, the seed of the patterns it was drawn from and
    // the frequency the receiver hears it at (isCode is false).
    bool isPing = false;
    int pingCode = 0;
    std::int32_t pingSeed = 0;
    float offsetHz = 0.0f;
    ControlCode code = ControlCode::Ack;
    int mode = 0;
    int frameIndex = 1;  // 1 or 2 within its burst
    int burstFrames = 1;
    std::vector<std::uint8_t> bytes;
    long startTick = 0;     // on the air at the receiver
    long arrivalTick = 0;   // its end at the receiver
    long readyTick = 0;     // detected (codes) or decoded (frames)
};

// Decides an item's fate; the index counts the items of its kind sent in this direction.
using FateRule = std::function<Fate(const AirItem& item, int index)>;

class FakeHost final : public SessionHost {
public:
    void pending() override { lines.push_back("PENDING"); }
    void cancelPending() override { lines.push_back("CANCELPENDING"); }
    void connected(std::string_view a, std::string_view b) override {
        lines.push_back("CONNECTED " + std::string(a) + " " + std::string(b));
    }
    void disconnected() override { lines.push_back("DISCONNECTED"); }
    void buffer(std::size_t n) override { lastBuffer = n; ++bufferLines; }
    std::size_t deliver(std::span<const std::uint8_t> bytes) override {
        const std::size_t n = std::min(bytes.size(), takeLimit);
        received.insert(received.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    void holdDataPort(bool hold) override {
        held = hold;
        holdChanges.push_back(hold);
    }
    std::string_view myCall(int slot) const override { return myCalls[static_cast<std::size_t>(slot - 1)]; }
    bool listening() const override { return listen; }
    bool publicFlag() const override { return false; }

    bool saw(std::string_view line) const;
    int count(std::string_view line) const;

    std::vector<std::string> lines;
    std::vector<std::uint8_t> received;
    std::size_t takeLimit = SIZE_MAX;
    std::size_t lastBuffer = 0;
    int bufferLines = 0;
    bool held = false;
    std::vector<bool> holdChanges;
    std::array<std::string, 5> myCalls;
    bool listen = false;
};

// The session log's events, worded as the station's log words them (without date and time).
class FakeLog final : public SessionLogPort {
public:
    void connecting(std::string_view call, int attempt, int limit) override {
        lines.push_back("Connecting to " + std::string(call) + "... " + std::to_string(attempt) + "/" +
                        std::to_string(limit));
    }
    void incomingConnection() override { lines.emplace_back("Incoming connection..."); }
    void incomingFailed() override { lines.emplace_back("Incoming Connection failed"); }
    void connectedIncoming(std::string_view call) override { lines.push_back(std::string(call) + " connected"); }
    void connectedOutgoing(std::string_view call) override { lines.push_back("Connected to " + std::string(call)); }
    void qrtReceived() override { lines.emplace_back("QRT Received"); }
    void tuningRequest(int kind) override {
        lines.emplace_back(kind == 1 ? "Rough Tuning request" : "Fine Tuning request");
    }
    void disconnected(const LinkSummary& s) override {
        lines.push_back(std::string(s.timedOut ? "Disconnected (Time Out)" : "Disconnected") + "      TX: " +
                        std::to_string(s.bytesSent) + " Bytes   RX: " + std::to_string(s.bytesReceived) + " Bytes");
    }
    void debug(std::string_view text) override { debugLines.emplace_back(text); }

    std::vector<std::string> lines;
    std::vector<std::string> debugLines;
};

class FakeUi final : public SessionUi {
public:
    void setPanelText(std::string_view key, std::string_view text) override {
        if (key == "Indicativos") callPanel.emplace_back(text);
    }
    void setPanelIcon(std::string_view key, std::string_view icon) override {
        if (key == "Indicativos") callIcon = icon;
    }
    void setPanelTip(std::string_view, std::string_view) override {}
    void lightLamp(Lamp lamp) override { lamps.push_back(lamp); }
    void clearLamps() override {}
    void showRepeat(bool) override {}
    void resetChart(ChartColour) override {}
    void chartPoint(int bitRate) override { chart.push_back(bitRate); }
    void resetDisplays() override {}
    void enableSetupMenus(bool enabled) override { menusEnabled = enabled; }
    void messageBox(std::string_view text) override { messages.emplace_back(text); }
    void showCalibration(const CalibrationView& view) override { calibration.push_back(view); }

    std::vector<std::string> callPanel;
    std::string callIcon;
    std::vector<Lamp> lamps;
    std::vector<int> chart;
    bool menusEnabled = true;
    std::vector<std::string> messages;
    std::vector<CalibrationView> calibration;
};

class FakeKeying final : public SessionKeying {
public:
    void key() override { ++keyed; }
    void unkey() override { ++unkeyed; }
    int keyed = 0;
    int unkeyed = 0;
};

class SessionLink;

// One station's radio on the fake air.
class FakeRadio final : public SessionRadio {
public:
    FakeRadio(SessionLink& link, int side) : m_link(link), m_side(side) {}

    void sendControl(ControlCode code) override;
    void sendFrames(int mode, std::span<const std::span<const std::uint8_t>> frames) override;
    void receive(int mode, int framesPerBurst) override {
        m_armed = true;
        m_mode = mode;
        m_framesPerBurst = framesPerBurst;
    }
    void stopReceiving() override { m_armed = false; }
    void followSession(bool active, ControlSearch search) override {
        sessionActive = active;
        sessionSearch = search;
    }
    std::optional<ControlCode> listenFor(const ControlCodeSet& codes, ControlSearch search) override;
    bool transmitActive() const override;
    bool symbolSlot() const override;
    void drawLinkPatterns(int slot) override { patternSlots.push_back(slot); }
    void pauseBusyWatch() override { busyWatch.push_back(false); }
    void resumeBusyWatch() override { busyWatch.push_back(true); }
    void armLeadInTone() override {
        ++leadInTones;
        m_leadInArmed = true;
    }
    // The fake's ping patterns are named by their seed; a station's own seed is ownPingSeed.
    void drawPingPatterns(std::int32_t seed) override { pingSeed = seed; }
    void drawOwnPingPatterns() override { pingSeed = ownPingSeed; }
    void sendPing(int code, int leadInToneLength) override;
    std::optional<PingHeard> listenForPing(PingKind kind, std::span<const std::uint8_t> codes) override;
    void clearWideSpectrogram() override { ++wideClears; }

    // Runs before the session's tick: decoded frames reach the session.
    void beforeTick();
    // Something from the peer arrives.
    void arrive(AirItem item) { m_inbox.push_back(std::move(item)); }
    // The station was transmitting at some moment in [from, to].
    bool transmittedDuring(long from, long to) const;

    // The tick at which a code or frame (good or failed) last reached the session.
    long lastHeardTick() const { return m_lastHeard; }

    std::vector<ControlCode> sent;   // every code put on the air
    std::vector<ControlCode> heard;  // every code handed to the session
    std::vector<int> burstModes;     // the mode of every data transmission
    std::vector<int> patternSlots;
    std::vector<ControlSearch> listenSearches;  // the resolution of every detector run
    bool sessionActive = false;                 // as the session last said
    ControlSearch sessionSearch = ControlSearch::Wide;
    int leadInTones = 0;
    std::vector<bool> busyWatch;  // every pause (false) and resume (true), in order
    std::int32_t ownPingSeed = 0;
    std::int32_t pingSeed = 0;       // the ping patterns drawn now
    std::vector<int> pingsSent;      // every ping or reply code put on the air
    std::vector<int> leadInLengths;  // the lead-in selector of each
    std::vector<PingKind> pingListens;  // the kind of every ping detector run
    int wideClears = 0;

private:
    // Keys for the lead-in and the signal; returns when the body starts on the air.
    long transmit(long durationTicks, long leadInTicks = kLeadInTicks);
    bool m_leadInArmed = false;

    SessionLink& m_link;
    int m_side;
    bool m_armed = false;
    int m_mode = 0;
    int m_framesPerBurst = 1;
    long m_secondDeadline = -1;
    long m_keyedUntil = 0;
    long m_lastHeard = -1;
    std::vector<std::pair<long, long>> m_transmissions;
    std::deque<AirItem> m_inbox;
};

struct LinkStation {
    LinkStation(SessionLink& link, int side);
    SessionSettings settings;
    FakeRadio radio;
    FakeKeying keying;
    FakeHost host;
    FakeUi ui;
    FakeLog log;
    ArqSession session;
};

class SessionLink {
public:
    // A and B with call signs; B listens. Delay one way in ticks, S/N of each direction in dB.
    explicit SessionLink(long delayTicks = 450, float snrDb = 10.0f);

    LinkStation& a() { return *m_stations[0]; }
    LinkStation& b() { return *m_stations[1]; }
    LinkStation& station(int side) { return *m_stations[static_cast<std::size_t>(side)]; }

    // Runs tick by tick until done() holds or maxTicks pass; returns whether done() held.
    bool runUntil(const std::function<bool()>& done, long maxTicks);
    void run(long ticks);
    long now() const { return m_now; }

    // A calls B ("CONNECT N0CALL-7 W1AW"), run until both hosts have CONNECTED.
    bool call(long maxTicks = 60 * 1500);

    // The fate of items from side (0 = A's transmissions, 1 = B's).
    void setFate(int side, FateRule rule) { m_fate[static_cast<std::size_t>(side)] = std::move(rule); }
    void setSnr(int side, float snrDb) { m_snrDb[static_cast<std::size_t>(side)] = snrDb; }
    // The frequency at which the other side hears side's pings and replies.
    void setPingOffset(int side, float hz) { m_pingOffsetHz[static_cast<std::size_t>(side)] = hz; }
    // Cuts the air both ways (a dead link).
    void cut(bool cut) { m_cut = cut; }

    // Both sessions' decisions, interleaved with the tick, for a failing test's message.
    std::string transcript(std::size_t lastLines = 60) const;

    // Used by the radios.
    void put(int fromSide, AirItem item);
    float snrDb(int toSide) const { return m_snrDb[static_cast<std::size_t>(1 - toSide)]; }
    long delayTicks() const { return m_delayTicks; }

private:
    long m_now = 0;
    long m_delayTicks;
    std::array<float, 2> m_snrDb;
    std::array<float, 2> m_pingOffsetHz{};
    std::array<FateRule, 2> m_fate;
    std::array<int, 2> m_codeCount{};
    std::array<int, 2> m_frameCount{};
    bool m_cut = false;
    std::array<std::unique_ptr<LinkStation>, 2> m_stations;
};

}  // namespace zolk::test
