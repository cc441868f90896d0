// receive_chain.h: a station's frame receivers on top of the front-end: the frame search of both
// families, what follows a detection (re-extraction, shift, the frame's place, staging) and the ten
// decode stages. Owns detectors, demodulators, turbo decoder and acceptance; the session decides when.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "phy/common/drawn_tables.h"
#include "phy/common/tables_file.h"
#include "phy/fec/mode_fec.h"
#include "phy/rx/frame_acceptance.h"
#include "phy/rx/frame_search.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

class ReceiveChain final : public FrameSearch {
public:
    // All references must outlive the chain. Buffers are sized once for the largest mode.
    ReceiveChain(ReceiveFrontEnd& frontEnd, const TablesFile& tables, const DrawnTables& drawn);
    ~ReceiveChain() override;
    ReceiveChain(const ReceiveChain&) = delete;
    ReceiveChain& operator=(const ReceiveChain&) = delete;

    bool newFrame(int slot) const override { return m_frontEnd.newFrameFlag(static_cast<std::size_t>(slot)); }
    // DetectFrame (modes 5..13) or DetectToneFrame (the robust modes) at a new FFT frame of slot.
    SearchResult search(const SearchRequest& request) override;
    std::optional<FrameVerdict> decodeStage(int stage) override;
    void followFrequency(FrameVerdict& verdict) override { m_acceptance.followFrequency(verdict); }
    // The monitored mode the stages decode.
    int detectedMode() const override { return m_detectedMode; }
    FrameAcceptance& acceptance() { return m_acceptance; }

private:
    class CarrierFrame;
    class ToneFrame;

    SearchResult afterDetection(const SearchRequest& request);

    ReceiveFrontEnd& m_frontEnd;
    const TablesFile& m_tables;
    const DrawnTables& m_drawn;
    std::unique_ptr<CarrierFrame> m_carrier;
    std::unique_ptr<ToneFrame> m_tone;
    ModeTurboDecoder m_fec;
    FrameAcceptance m_acceptance;
    DetectedFrameSource* m_current = nullptr;
    int m_detectedMode = 0;
    FramePlace m_detectedPlace = FramePlace::Only;
};

}  // namespace zolk
