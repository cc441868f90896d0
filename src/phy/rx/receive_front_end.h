// receive_front_end.h: turns capture blocks into the baseband rings, spectrograms and FFT frames.
// Owns filters, rings, counters, frame stores and re-extraction outputs; detectors, the session
// tick, the busy detector and the waterfall are reached only through the injected client.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/audio_engine.h"
#include "phy/common/complex_ops.h"
#include "phy/common/correction_mixer.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/fft.h"
#include "phy/common/mode_index.h"
#include "phy/common/mode_table.h"
#include "phy/rx/receive_filters.h"

namespace zolk {

inline constexpr std::size_t kBasebandSamplesPerBlock = 16;
inline constexpr std::size_t kRingLength = 32000;          // about 10.7 s at 3000 Hz
inline constexpr std::size_t kFrameRingLength = 7680;      // FFT frames in slot 1
inline constexpr std::size_t kMaxBins = 64;                // largest BinsPerSymbol
inline constexpr std::size_t kDetectorSlots = 15;          // slots 1..14 used, 0 kept for indexing
inline constexpr std::size_t kSpectrogramRows = 256;
inline constexpr std::size_t kNarrowBins = 64;
inline constexpr std::size_t kWideBins = 128;
inline constexpr std::size_t kSnapshotRows = 641;          // rows 2..640 used
inline constexpr std::size_t kSnapshotColumns = 257;
inline constexpr std::size_t kFrameSymbolCount = 639;      // relative symbols 0..638
inline constexpr float kBasebandRateHz = 3000.0f;

// FFT frames a frame search of a mode reads: from its symbol 2 to the newest frame.
constexpr std::size_t searchedFrames(const ModeRecord& r) {
    return static_cast<std::size_t>(r.symbolLimit - 2) * r.guardEighths + 1;
}

// FFT frames a detector slot keeps. Slot 1 serves every mode in single-mode reception and keeps
// kFrameRingLength; slot m (monitor mode) frames only mode m and keeps one frame of it.
constexpr std::size_t frameRingLength(std::size_t slot) {
    if (slot == 1) return kFrameRingLength;
    const ModeRecord& r = kModeTable[slot];
    return static_cast<std::size_t>(r.symbolLimit - 1) * r.guardEighths;
}

static_assert([] {
    for (const ModeRecord& r : kModeTable) {
        if (searchedFrames(r) > kFrameRingLength) return false;
    }
    for (std::size_t slot = 2; slot < kDetectorSlots; ++slot) {
        if (searchedFrames(kModeTable[slot]) > frameRingLength(slot)) return false;
    }
    return true;
}());

enum class SnapshotSource : std::uint8_t { CorrectedRing = 1, BasebandRing = 2 };

// What the front-end reads from the station at every sample step. The session states it needs are
// folded into three facts so that the front-end stays free of the session's numbering.
struct ReceiveConditions {
    bool transmitActive = false;
    bool monitorMode = false;
    bool listenMode = false;
    bool sessionActive = false;      // state is not Disconnected
    bool frameReception = false;     // state is Answering or Receiving: single-mode framing runs
    bool narrowSpectrogram = false;  // state none of Disconnected, Answering, Calling, Pinging
    bool controlListening = false;   // control frames are listened for: the spectrogram runs
    ModeIndex modeIndex;
    bool waterfallShown = false;     // the station shows a waterfall: every sample goes to its tap
};

// The station side of the front-end: conditions in, per-sample taps and the session tick out.
class FrontEndClient {
public:
    virtual ~FrontEndClient() = default;
    virtual ReceiveConditions receiveConditions() const = 0;
    virtual void busySample(Complex x) = 0;
    virtual void waterfallSample(Complex x) = 0;
    // Runs after every second baseband sample: 1500 times per second, 8 per capture block.
    virtual void sessionTick() = 0;
};

class ReceiveFrontEnd : public CaptureBlockSink {
public:
    // Designs the filters and allocates every ring and slot 1's frame stores once; the stores of
    // slots 2..14, read only in monitor mode, the first time monitor mode is on. tables (the cell
    // phases) must outlive the front-end.
    ReceiveFrontEnd(const DrawnTables& tables, FrontEndClient& client);
    ~ReceiveFrontEnd() override;
    ReceiveFrontEnd(const ReceiveFrontEnd&) = delete;
    ReceiveFrontEnd& operator=(const ReceiveFrontEnd&) = delete;

    // One AudioBlock of 256 mono samples at 48000 Hz. Does not allocate, but for the monitor
    // slots' stores in the first block with monitor mode on.
    void processCaptureBlock(std::span<const float, kAudioBlockLength> block) override;

    // Rings (shared RingIndex: the newest sample, advanced before each store).
    std::uint32_t ringIndex() const { return m_ringIndex; }
    Complex basebandAt(std::size_t index) const { return m_baseband[index % kRingLength]; }
    Complex correctedAt(std::size_t index) const { return m_corrected[index % kRingLength]; }

    // The AFC state: frequency of the correction mixer.
    float receiveFrequencyOffsetHz() const { return m_receiveFrequencyOffsetHz; }
    void setReceiveFrequencyOffsetHz(float hz) { m_receiveFrequencyOffsetHz = hz; }

    // Spectrograms (power), one row per 8 baseband samples.
    std::uint8_t spectrogramRow() const { return m_spectrogramRow; }
    bool newSpectrogramRow() const { return m_newSpectrogramRow; }
    std::span<const float, kNarrowBins> narrowSpectrogram(std::size_t row) const;
    std::span<const float, kWideBins> wideSpectrogram(std::size_t row) const;
    void clearWideSpectrogram();

    // FFT framing per DetectorSlot 1..14 (slot 1 in single-mode operation, slot m for mode m in
    // monitor mode). A slot's stores exist when a mode can use them (slots 2..14: once monitor mode
    // has been on); otherwise the spans are empty.
    std::uint16_t frameIndex(std::size_t slot) const { return m_frameIndex[slot]; }
    bool newFrameFlag(std::size_t slot) const { return m_newFrameFlag[slot]; }
    std::span<const Complex> symbolSpectra(std::size_t slot, std::size_t frame) const;
    std::span<const float> symbolPower(std::size_t slot, std::size_t frame) const;
    // A slot's whole store: frame w, bin k at w x 64 + k for w below frameRingLength(slot).
    std::span<const Complex> symbolSpectraStore(std::size_t slot) const { return m_symbolSpectra[slot]; }
    std::span<const float> symbolPowerStore(std::size_t slot) const { return m_symbolPower[slot]; }

    // Re-extraction services of the detectors; p is the RingIndex of the frame's last sample and
    // mode the frame's mode (the current ModeIndex, or the monitored mode).
    void snapshot(std::uint32_t p, SnapshotSource source);
    void robustReExtraction(int mode, std::uint32_t p);
    void robustCorrectedReExtraction(int mode, std::uint32_t p, float shiftHz);
    void familyOneCorrectedReExtraction(int mode, std::uint32_t p, float shiftHz);
    // kFrameSymbols cut at p from the corrected copy the last corrected re-extraction left, without
    // copying and turning the ring again: compares cuts of one frame at a fraction of the cost.
    void familyOneReCut(int mode, std::uint32_t p);
    // The same cut for the listed symbols only (ascending, 2..symbolLimit); the others keep what
    // they held. The cuts compared by their header cells need only the symbols those cells read.
    void familyOneReCut(int mode, std::uint32_t p, std::span<const std::int16_t> symbols);
    // SnapshotSpectrum[row], rows 2..640, 257 columns.
    std::span<const float, kSnapshotColumns> snapshotSpectrum(std::size_t row) const;
    // All of SnapshotSpectrum: row r, column k at r x 257 + k.
    std::span<const float> snapshotStore() const { return m_snapshot; }
    // kFrameSymbols[relative symbol 0..638], 64 bins; the family-1 receiver equalises in place.
    std::span<Complex, kMaxBins> frameSymbols(std::size_t symbol);
    std::span<const Complex, kMaxBins> frameSymbols(std::size_t symbol) const;
    // All of kFrameSymbols: relative symbol d, bin k at d x 64 + k.
    std::span<Complex> frameSymbolStore() { return m_frameSymbols; }

private:
    // Transforms `in` zero-padded to n points (16..256); valid until the next call.
    std::span<const Complex> transform(std::span<const Complex> in, std::size_t n);

    void sampleStep(Complex x);
    void spectrogramStep(const ReceiveConditions& c);
    void singleModeFraming(const ReceiveConditions& c);
    void multiModeFraming(std::size_t mode);
    void allocateMonitorSlots();
    void storeFrame(std::size_t slot, std::size_t bins, bool spectra, bool power);
    void copyCorrectedRotated(float shiftHz);
    template <typename PerSymbol>
    void forEachSymbolBody(int mode, const std::vector<Complex>& ring, std::uint32_t p, PerSymbol&& perSymbol);
    void storeFrameSymbol(std::size_t symbol, std::span<const Complex> body);

    const DrawnTables& m_tables;
    FrontEndClient& m_client;
    std::array<Fft, 5> m_fft;  // 16, 32, 64, 128 and 256 points
    std::array<Complex, 256> m_fftWork{};

    DecimatingFir m_lowPass;
    DecimatingFir m_bandPass;

    std::vector<Complex> m_baseband;
    std::vector<Complex> m_corrected;
    std::vector<Complex> m_correctedCopy;  // re-extraction source after the second mixer
    std::uint32_t m_ringIndex = 0;
    float m_receiveFrequencyOffsetHz = 0.0f;
    CorrectionMixer m_ringMixer;
    CorrectionMixer m_reExtractionMixer;

    std::uint8_t m_spectrogramCounter = 0;
    std::uint8_t m_tickCounter = 0;
    std::array<std::uint8_t, kDetectorSlots> m_frameCounter{};

    std::uint8_t m_spectrogramRow = 0;
    bool m_newSpectrogramRow = false;
    std::vector<float> m_narrow;
    std::vector<float> m_wide;

    std::array<std::uint16_t, kDetectorSlots> m_frameIndex{};
    std::array<bool, kDetectorSlots> m_newFrameFlag{};
    std::array<std::vector<Complex>, kDetectorSlots> m_symbolSpectra;
    std::array<std::vector<float>, kDetectorSlots> m_symbolPower;
    bool m_monitorSlots = false;  // the stores of slots 2..14 exist

    std::vector<float> m_snapshot;        // kSnapshotRows x kSnapshotColumns
    std::vector<Complex> m_frameSymbols;  // kFrameSymbolCount x kMaxBins
};

}  // namespace zolk
