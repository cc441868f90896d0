#include "app/station_radio.h"

#include <chrono>
#include <stdexcept>

#include "app/frame_display.h"
#include "app/station.h"
#include "app/window_layout.h"

namespace zolk {
namespace {

constexpr std::chrono::milliseconds kConstellationHold{9000};

}  // namespace

StationRadio::StationRadio(Station& station, UiSink& ui, TimerPort& timers, HostLinkPort& hostLink)
    : m_station(station),
      m_ui(ui),
      m_timers(timers),
      m_frontEnd(station.drawnTables(), *this),
      m_schedule(m_ignoredFrames, SearchWindows::Session,
                 [this](const FrameVerdict& verdict) {
                     showFrame(m_ui, verdict);
                     if (verdict.display.gauges) holdConstellation();
                 }),
      m_chain(m_frontEnd, station.tables(), station.drawnTables()),
      m_transmit(station.tables(), station.drawnTables(), station.random(), station.audioEngine(),
                 station.settings().txDriveLevel, *this),
      m_controlDetector(m_frontEnd),
      m_roughPingDetector(m_frontEnd, DetectorAfc::Untouched),
      m_finePingDetector(m_frontEnd, DetectorAfc::Untouched),
      m_busy(ui, hostLink, timers) {
    m_station.audioEngine().attachReceiver(&m_frontEnd);
    m_schedule.setDetectionSink([this] { holdConstellation(); });
    // The idle drawing, so that the tables always hold one. The drawing restarts its generator,
    // so a generator of its own gives the same tables and leaves the station's where start-up
    // left it.
    RandomSource own;
    buildPatterns(own, 0, station.host().protocol().slotSeeds(), false, m_patterns);
    buildPingPatterns(own, kUnnamedPingSeed, m_pingPatterns);
}

StationRadio::~StationRadio() { m_station.audioEngine().attachReceiver(nullptr); }

void StationRadio::holdConstellation() {
    m_timers.stop(TimerId::ClearConstellation);
    m_timers.start(TimerId::ClearConstellation, kConstellationHold);
}

void StationRadio::setFrameSession(FrameSessionEntries* entries) {
    m_schedule.setEntries(entries != nullptr ? *entries : m_ignoredFrames);
}

void StationRadio::receive(int mode, int framesPerBurst) { m_schedule.receive(mode, framesPerBurst); }

void StationRadio::stopReceiving() { m_schedule.stop(); }

void StationRadio::applyMonitorMode() {
    m_schedule.stop();
    m_schedule.setMonitor(m_station.settings().monitorMode == 1);
}

void StationRadio::send(int mode, std::span<const std::span<const std::uint8_t>> frames) {
    if (m_station.transmitActive()) throw std::logic_error("a transmission is still on the air");
    m_transmit.prepareDataFrames(mode, frames);
    m_station.radioControl().pttOn();
}

void StationRadio::drawPatterns(std::int32_t seed, const CallSlotSeeds& slotSeeds, bool forCall) {
    buildPatterns(m_station.random(), seed, slotSeeds, forCall, m_patterns);
    m_controlDetector.clearRecord();
}

void StationRadio::sendControl(ControlCode c) {
    if (m_station.transmitActive()) throw std::logic_error("a transmission is still on the air");
    m_transmit.prepareControlFrame(m_patterns, codeNumber(c));
    m_station.radioControl().pttOn();
}

void StationRadio::drawPingPatterns(std::int32_t seed) {
    buildPingPatterns(m_station.random(), seed, m_pingPatterns);
    m_roughPingDetector.clearRecord();
    m_finePingDetector.clearRecord();
}

void StationRadio::sendPing(int code, std::uint8_t leadInToneLength) {
    if (m_station.transmitActive()) throw std::logic_error("a transmission is still on the air");
    m_transmit.prepareControlFrame(m_pingPatterns, code, kPingLeadInTones);
    m_transmit.feeder().setLeadInToneLength(leadInToneLength);
    m_station.radioControl().pttOn();
}

std::optional<ControlDetection> StationRadio::listenForPing(PingKind kind, std::span<const std::uint8_t> codes) {
    return kind == PingKind::Rough ? m_roughPingDetector.listenFor(m_pingPatterns, codes, kRoughPingSearch)
                                   : m_finePingDetector.listenFor(m_pingPatterns, codes, kFinePingSearch);
}

std::optional<ControlDetection> StationRadio::listenFor(const ControlCodeSet& codes, ControlSearch search) {
    auto detection = m_controlDetector.listenFor(m_patterns, codes.numbers(), search);
    if (detection) m_ui.showAfc(-detection->receiveFrequencyOffsetHz);
    return detection;
}

void StationRadio::listenForControl(const ControlCodeSet& codes, ControlSearch search, bool everyTick) {
    if (m_controlListening.active && m_controlListening.search != search) m_controlDetector.clearRecord();
    m_controlListening = ControlListening{.active = true, .codes = codes, .search = search, .everyTick = everyTick};
}

void StationRadio::stopListeningForControl() {
    m_controlListening = ControlListening{};
    m_controlDetector.clearRecord();
}

ReceiveConditions StationRadio::receiveConditions() const {
    const Settings& settings = m_station.settings();
    ReceiveConditions c;
    m_schedule.describe(c);
    c.transmitActive = m_station.transmitActive();
    c.listenMode = m_station.host().protocol().listenMode();
    if (m_sessionActive) {
        c.sessionActive = true;
        c.narrowSpectrogram = c.narrowSpectrogram || m_sessionSearch == ControlSearch::Narrow;
    }
    if (m_controlListening.active) {
        c.controlListening = true;
        if (m_controlListening.search == ControlSearch::Narrow) {
            c.sessionActive = true;  // the narrow spectrogram reads the corrected ring
            c.narrowSpectrogram = true;
        }
    }
    c.waterfallShown =
        waterfallShown(settings.waterfallMode, settings.viewMode, !m_station.windowShown(), c.sessionActive);
    return c;
}

void StationRadio::waterfallSample(Complex x) {
    if (!m_waterfall.push(x)) return;
    const auto offset = m_sessionActive ? std::optional(receiveFrequencyOffsetHz()) : std::nullopt;
    m_ui.addWaterfallRow(m_waterfall.row(m_station.transmitActive(), offset));
}

void StationRadio::busySample(Complex x) { m_busy.onSample(x, m_station.inputLevelDb()); }

// While the own transmission is on the air nothing is received and stateTicks stays at 0, so
// every wait counts from its end.
void StationRadio::sessionTick() {
    if (m_station.transmitActive()) {
        m_schedule.restartStateTicks();
    } else {
        m_schedule.tick(m_chain);
        if (m_controlListening.active && (m_controlListening.everyTick || m_frontEnd.newSpectrogramRow())) {
            const auto detection = listenFor(m_controlListening.codes, m_controlListening.search);
            if (detection && m_controlSink) m_controlSink(static_cast<ControlCode>(detection->code), *detection);
        }
    }
    if (m_sessionTick) m_sessionTick();
}

void StationRadio::pttOff() {
    m_station.radioControl().pttOff();
    m_schedule.restartStateTicks();
}

}  // namespace zolk
