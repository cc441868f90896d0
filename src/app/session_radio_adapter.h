// session_radio_adapter.h: the session's air side on the station's radio: control codes and
// data frames out through the transmit chain, reception and the control-code detector in.
// Holds only references; the radio, the keying state and the call-sign seeds are the station's.
#pragma once

#include "app/station_radio.h"
#include "host/host_links.h"
#include "ports/transmitter_keying.h"
#include "session/session_ports.h"

namespace zolk {

class SessionRadioAdapter final : public SessionRadio {
public:
    // slotSeeds: the CallSeed of each own call-sign slot, kept up to date by MYCALL.
    SessionRadioAdapter(StationRadio& radio, const TransmitterKeying& keying, const SlotSeeds& slotSeeds)
        : m_radio(radio), m_keying(keying), m_slotSeeds(slotSeeds) {}

    void sendControl(ControlCode code) override { m_radio.sendControl(code); }
    void sendFrames(int mode, std::span<const std::span<const std::uint8_t>> frames) override {
        m_radio.send(mode, frames);
    }
    void receive(int mode, int framesPerBurst) override { m_radio.receive(mode, framesPerBurst); }
    void stopReceiving() override { m_radio.stopReceiving(); }
    void followSession(bool active, ControlSearch search) override { m_radio.followSession(active, search); }
    std::optional<ControlCode> listenFor(const ControlCodeSet& codes, ControlSearch search) override;
    bool transmitActive() const override { return m_keying.transmitActive(); }
    bool symbolSlot() const override { return m_radio.newSpectrogramRow(); }
    void drawLinkPatterns(int slot) override;
    void armLeadInTone() override { m_radio.armLeadInTone(); }
    void pauseBusyWatch() override { m_radio.busyChannel().pause(); }
    void resumeBusyWatch() override { m_radio.busyChannel().resumeLater(); }
    void drawPingPatterns(std::int32_t seed) override { m_radio.drawPingPatterns(seed); }
    // The host's first call sign's, or the start-up drawing's before the host names one.
    void drawOwnPingPatterns() override;
    void sendPing(int code, int leadInToneLength) override {
        m_radio.sendPing(code, static_cast<std::uint8_t>(leadInToneLength));
    }
    std::optional<PingHeard> listenForPing(PingKind kind, std::span<const std::uint8_t> codes) override;
    void clearWideSpectrogram() override { m_radio.clearWideSpectrogram(); }

private:
    StationRadio& m_radio;
    const TransmitterKeying& m_keying;
    const SlotSeeds& m_slotSeeds;
};

}  // namespace zolk
