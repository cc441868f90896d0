#include "session_link.h"

#include <algorithm>
#include <sstream>

#include "session/measured_thresholds.h"

namespace zolk::test {

bool FakeHost::saw(std::string_view line) const { return count(line) > 0; }

int FakeHost::count(std::string_view line) const {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Returns when the signal's body (after the queue and the lead-in) starts on the air.
long FakeRadio::transmit(long durationTicks, long leadInTicks) {
    const long start = m_link.now() + kPlaybackQueueTicks;
    m_transmissions.emplace_back(start, start + leadInTicks + durationTicks);
    m_keyedUntil = start + leadInTicks + durationTicks;
    m_leadInArmed = false;
    return start + leadInTicks;
}

bool FakeRadio::transmitActive() const { return m_link.now() < m_keyedUntil; }

bool FakeRadio::symbolSlot() const { return m_link.now() % 4 == 0; }

bool FakeRadio::transmittedDuring(long from, long to) const {
    for (auto it = m_transmissions.rbegin(); it != m_transmissions.rend(); ++it) {
        if (it->second < from) break;
        if (it->first <= to && it->second >= from) return true;
    }
    return false;
}

void FakeRadio::sendControl(ControlCode code) {
    sent.push_back(code);
    const long start = transmit(kCodeTicks);
    AirItem item;
    item.isCode = true;
    item.code = code;
    item.startTick = start;
    item.arrivalTick = start + kCodeTicks;
    item.readyTick = item.arrivalTick;
    m_link.put(m_side, std::move(item));
}

void FakeRadio::sendPing(int code, int leadInToneLength) {
    pingsSent.push_back(code);
    leadInLengths.push_back(leadInToneLength);
    const long leadIn = !m_leadInArmed ? kLeadInTicks : leadInToneLength == 1 ? kLongToneTicks : kShortToneTicks;
    const long start = transmit(kCodeTicks, leadIn);
    AirItem item;
    item.isCode = false;
    item.isPing = true;
    item.pingCode = code;
    item.pingSeed = pingSeed;
    item.startTick = start;
    item.arrivalTick = start + kCodeTicks;
    item.readyTick = item.arrivalTick + kPingReportTicks;
    m_link.put(m_side, std::move(item));
}

// A ping is heard only on the patterns it was drawn from, by the detector of its kind's codes.
std::optional<PingHeard> FakeRadio::listenForPing(PingKind kind, std::span<const std::uint8_t> codes) {
    pingListens.push_back(kind);
    const long now = m_link.now();
    for (auto it = m_inbox.begin(); it != m_inbox.end(); ++it) {
        if (!it->isPing || it->readyTick > now || it->pingSeed != pingSeed) continue;
        if (std::find(codes.begin(), codes.end(), it->pingCode) == codes.end()) continue;
        const PingHeard heard{.code = it->pingCode, .offsetHz = it->offsetHz};
        m_inbox.erase(it);
        return heard;
    }
    return std::nullopt;
}

void FakeRadio::sendFrames(int mode, std::span<const std::span<const std::uint8_t>> frames) {
    burstModes.push_back(mode);
    const long frameTicks = modeRecord(mode).frameLengthUnits;
    const long start = transmit(frameTicks * static_cast<long>(frames.size()));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        AirItem item;
        item.isCode = false;
        item.mode = mode;
        item.frameIndex = static_cast<int>(i) + 1;
        item.burstFrames = static_cast<int>(frames.size());
        item.bytes.assign(frames[i].begin(), frames[i].end());
        item.startTick = start + frameTicks * static_cast<long>(i);
        item.arrivalTick = item.startTick + frameTicks;
        // Decoding takes the mode's processing time (taken in ticks, as the session's round trip does).
        item.readyTick = item.arrivalTick + modeRecord(mode).processingDelayMs;
        m_link.put(m_side, std::move(item));
    }
}

std::optional<ControlCode> FakeRadio::listenFor(const ControlCodeSet& codes, ControlSearch search) {
    listenSearches.push_back(search);
    const long now = m_link.now();
    for (auto it = m_inbox.begin(); it != m_inbox.end(); ++it) {
        if (!it->isCode || it->readyTick > now) continue;
        if (!codes.contains(it->code)) continue;
        const ControlCode code = it->code;
        m_inbox.erase(it);
        heard.push_back(code);
        m_lastHeard = now;
        return code;
    }
    return std::nullopt;
}

void FakeRadio::beforeTick() {
    ArqSession& session = m_link.station(m_side).session;
    const long now = m_link.now();
    // A code the detector was not asked for within its slot is gone; a code heard while this
    // station transmitted never reached the detector.
    std::erase_if(m_inbox, [&](const AirItem& item) {
        return (item.isCode || item.isPing) && (now > item.readyTick + 400 ||
                               (now >= item.readyTick && transmittedDuring(item.startTick, item.arrivalTick)));
    });
    if (m_secondDeadline >= 0 && now >= m_secondDeadline) {
        m_secondDeadline = -1;
        if (m_armed) {
            m_lastHeard = now;
            session.onMissingFrame();
        }
    }
    for (auto it = m_inbox.begin(); it != m_inbox.end();) {
        if (it->isCode || it->isPing || it->readyTick > now) {
            ++it;
            continue;
        }
        const AirItem item = std::move(*it);
        it = m_inbox.erase(it);
        if (!m_armed || item.mode != m_mode || transmittedDuring(item.startTick, item.arrivalTick))
            continue;  // not searched for in this mode, or deaf while transmitting
        const bool good = !item.bytes.empty();
        m_lastHeard = now;
        const float snr = m_link.snrDb(m_side);
        const bool asFirst = m_framesPerBurst == 2 && item.frameIndex == 1;
        if (asFirst) {
            m_secondDeadline = now + modeRecord(item.mode).frameLengthUnits + 200;
            if (good)
                session.onFirstFrame(item.bytes, snr);
            else
                session.onFirstFrameFailed();
        } else {
            m_secondDeadline = -1;
            if (good)
                session.onFrame(item.bytes, snr);
            else
                session.onMissingFrame();
        }
    }
}

LinkStation::LinkStation(SessionLink& link, int side)
    : radio(link, side), session(SessionPorts{radio, keying, host, ui, log}, settings) {}

SessionLink::SessionLink(long delayTicks, float snrDb) : m_delayTicks(delayTicks), m_snrDb{snrDb, snrDb} {
    m_stations[0] = std::make_unique<LinkStation>(*this, 0);
    m_stations[1] = std::make_unique<LinkStation>(*this, 1);
    a().radio.ownPingSeed = a().radio.pingSeed = 1001;
    b().radio.ownPingSeed = b().radio.pingSeed = 1002;
    a().host.myCalls[0] = "N0CALL-7";
    b().host.myCalls[0] = "W1AW";
    b().host.listen = true;
}

void SessionLink::put(int fromSide, AirItem item) {
    const auto side = static_cast<std::size_t>(fromSide);
    const int index = item.isCode ? m_codeCount[side]++ : m_frameCount[side]++;
    Fate fate = m_fate[side] ? m_fate[side](item, index) : Fate::Pass;
    // Too little S/N for the mode at our receiver (its measured threshold): detected, but the
    // check fails.
    const float needDb = measuredThresholdsAdjusted()[static_cast<std::size_t>(item.mode)];
    if (!item.isCode && !item.isPing && m_snrDb[side] < needDb && fate == Fate::Pass)
        fate = Fate::Corrupt;
    if (m_cut || fate == Fate::Lose || (item.isCode && fate == Fate::Corrupt)) return;
    if (item.isPing) item.offsetHz = m_pingOffsetHz[side];
    if (fate == Fate::Corrupt) item.bytes.clear();
    item.startTick += m_delayTicks;
    item.arrivalTick += m_delayTicks;
    item.readyTick += m_delayTicks;
    station(1 - fromSide).radio.arrive(std::move(item));
}

void SessionLink::run(long ticks) {
    for (long i = 0; i < ticks; ++i) {
        for (auto& s : m_stations) s->radio.beforeTick();
        for (auto& s : m_stations) s->session.tick();
        ++m_now;
    }
}

bool SessionLink::runUntil(const std::function<bool()>& done, long maxTicks) {
    for (long i = 0; i < maxTicks; ++i) {
        if (done()) return true;
        run(1);
    }
    return done();
}

bool SessionLink::call(long maxTicks) {
    a().session.connect("N0CALL-7", "W1AW");
    return runUntil(
        [&] {
            return a().host.saw("CONNECTED N0CALL-7 W1AW") && b().host.saw("CONNECTED N0CALL-7 W1AW") &&
                   a().session.state() == SessionState::Receiving &&
                   b().session.state() == SessionState::Sending;
        },
        maxTicks);
}

std::string SessionLink::transcript(std::size_t lastLines) const {
    std::ostringstream out;
    for (int side = 0; side < 2; ++side) {
        const auto& debug = m_stations[static_cast<std::size_t>(side)]->log.debugLines;
        out << (side == 0 ? "--- A\n" : "--- B\n");
        const std::size_t from = debug.size() > lastLines ? debug.size() - lastLines : 0;
        for (std::size_t i = from; i < debug.size(); ++i) out << debug[i] << '\n';
    }
    return out.str();
}

}  // namespace zolk::test
