#include "phy/rx/receive_front_end.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include <fftw3.h>

namespace zolk {

namespace {

constexpr std::size_t kSamplesPerStep = kCaptureBlockSamples / kBasebandSamplesPerBlock;
constexpr std::size_t kSpectrogramSamples = 64;
constexpr std::size_t kSnapshotSamples = 64;
constexpr std::size_t kSnapshotFft = 256;
constexpr std::uint32_t kSnapshotSpan = 1984;  // rows 2..32, 64 samples each
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

constexpr double kLowPassCutoff = 0.25;          // 3000 Hz at 12000 Hz
constexpr double kBandPassLow = 150.0 / 6000.0;  // analytic 150..2900 Hz at 6000 Hz
constexpr double kBandPassHigh = 2900.0 / 6000.0;

std::uint32_t wrapRing(std::int64_t index) {
    const auto n = static_cast<std::int64_t>(kRingLength);
    return static_cast<std::uint32_t>(((index % n) + n) % n);
}

}  // namespace

// Forward FFTs of every size the front-end cuts (16..256), planned once.
class ReceiveFrontEnd::Transforms {
public:
    Transforms() {
        for (std::size_t i = 0; i < kSizes; ++i) {
            const int n = 16 << i;
            m_buffer[i] = fftwf_alloc_complex(static_cast<std::size_t>(n));
            m_plan[i] = fftwf_plan_dft_1d(n, m_buffer[i], m_buffer[i], FFTW_FORWARD, FFTW_ESTIMATE);
            if (m_buffer[i] == nullptr || m_plan[i] == nullptr) throw std::runtime_error("FFT planning failed");
        }
    }
    ~Transforms() {
        for (std::size_t i = 0; i < kSizes; ++i) {
            if (m_plan[i] != nullptr) fftwf_destroy_plan(m_plan[i]);
            if (m_buffer[i] != nullptr) fftwf_free(m_buffer[i]);
        }
    }
    Transforms(const Transforms&) = delete;
    Transforms& operator=(const Transforms&) = delete;

    // Transforms `in` zero-padded to n points; the result stays valid until the next call.
    std::span<const RxComplex> forward(std::span<const RxComplex> in, std::size_t n) {
        const std::size_t i = slotOf(n);
        auto* data = reinterpret_cast<RxComplex*>(m_buffer[i]);
        std::copy(in.begin(), in.end(), data);
        std::fill(data + in.size(), data + n, RxComplex{});
        fftwf_execute(m_plan[i]);
        return {data, n};
    }

private:
    static constexpr std::size_t kSizes = 5;
    static std::size_t slotOf(std::size_t n) {
        std::size_t i = 0;
        while ((std::size_t{16} << i) < n) ++i;
        return i;
    }
    std::array<fftwf_complex*, kSizes> m_buffer{};
    std::array<fftwf_plan, kSizes> m_plan{};
};

RxComplex ReceiveFrontEnd::CorrectionMixer::rotate(RxComplex x, float hz) {
    if (hz != lastHz) {
        increment = kTwoPi * hz / kBasebandRateHz;
        lastHz = hz;
    }
    const RxComplex out = x * RxComplex{std::cos(phase), std::sin(phase)};
    phase += increment;
    if (phase > kTwoPi) {
        phase -= kTwoPi;
    } else if (phase < 0.0f) {
        phase += kTwoPi;
    }
    return out;
}

ReceiveFrontEnd::ReceiveFrontEnd(const FrontEndConfig& config, FrontEndClient& client)
    : m_config(config),
      m_client(client),
      m_fft(std::make_unique<Transforms>()),
      m_lowPass(designComplexBandPass(0.0, kLowPassCutoff)),
      m_bandPass(designComplexBandPass(kBandPassLow, kBandPassHigh)),
      m_baseband(kRingLength),
      m_corrected(kRingLength),
      m_correctedCopy(kRingLength),
      m_narrow(kSpectrogramRows * kNarrowBins),
      m_wide(kSpectrogramRows * kWideBins),
      m_snapshot(kSnapshotRows * kSnapshotColumns),
      m_frameSymbols(kFrameSymbolCount * kMaxBins) {
    if (config.CellPhaseTable.size() != kMaxBins * kFrameSymbolCount) {
        throw std::invalid_argument("receive front-end: CellPhaseTable must hold 64 x 639 values");
    }
    for (std::size_t m = 0; m < kModeCount; ++m) {
        const auto bins = config.modes[m].BinsPerSymbol;
        if (bins != 16 && bins != 32 && bins != 64) {
            throw std::invalid_argument("receive front-end: BinsPerSymbol must be 16, 32 or 64");
        }
    }
    // Slot 1 serves every mode in single-mode operation; a slot that others copy from needs both
    // stores; otherwise a slot keeps only what its own family reads.
    for (std::size_t s = 1; s < kDetectorSlots; ++s) {
        const bool source = config.FftShareMode[s] == s;
        if (s == 1 || source || config.modes[s].ModeFamily == 1) {
            m_symbolSpectra[s].resize(kFrameRingLength * kMaxBins);
        }
        if (s == 1 || source || config.modes[s].ModeFamily == 2) {
            m_symbolPower[s].resize(kFrameRingLength * kMaxBins);
        }
    }
}

ReceiveFrontEnd::~ReceiveFrontEnd() = default;

void ReceiveFrontEnd::processCaptureBlock(std::span<const float, kCaptureBlockSamples> block) {
    for (std::size_t step = 0; step < kBasebandSamplesPerBlock; ++step) {
        const bool transmitting = m_client.receiveConditions().TransmitActive;
        const float* s = block.data() + step * kSamplesPerStep;
        for (std::size_t half = 0; half < 2; ++half) {
            for (std::size_t group = 0; group < 2; ++group) {
                float sum = 0.0f;
                if (!transmitting) {
                    const float* g = s + half * 8 + group * 4;
                    sum = g[0] + g[1] + g[2] + g[3];
                }
                m_lowPass.push(sum);
            }
            m_bandPass.push(m_lowPass.realOutput());
        }
        sampleStep(m_bandPass.complexOutput());
    }
}

void ReceiveFrontEnd::sampleStep(RxComplex x) {
    const ReceiveConditions c = m_client.receiveConditions();
    m_client.busySample(x);
    const bool waterfallOn = c.WaterfallMode == 1 || (c.WaterfallMode == 2 && c.sessionActive);
    if (c.ViewMode != 3 && !c.windowMinimised && waterfallOn) m_client.waterfallSample(x);

    m_ringIndex = (m_ringIndex + 1) % kRingLength;
    if (c.MonitorMode || c.sessionActive) {
        m_corrected[m_ringIndex] = m_ringMixer.rotate(x, m_receiveFrequencyOffsetHz);
    }
    m_baseband[m_ringIndex] = x;

    m_spectrogramCounter = (m_spectrogramCounter + 1) % 8;
    m_newSpectrogramRow = m_spectrogramCounter == 0;
    if (m_newSpectrogramRow) {
        m_spectrogramRow = static_cast<std::uint8_t>(m_spectrogramRow + 1);
        spectrogramStep(c);
    }

    if (c.MonitorMode) {
        m_newFrameFlag[1] = false;
        for (std::size_t m = 1; m < kDetectorSlots; ++m) {
            const auto modulus = static_cast<std::uint8_t>(m_config.modes[m].BinsPerSymbol / 8);
            m_frameCounter[m] = static_cast<std::uint8_t>((m_frameCounter[m] + 1) % modulus);
            m_newFrameFlag[m] = m_frameCounter[m] == 0;
            if (m_newFrameFlag[m]) {
                m_frameIndex[m] = static_cast<std::uint16_t>((m_frameIndex[m] + 1) % kFrameRingLength);
                if (!c.TransmitActive) multiModeFraming(m);
            }
        }
    } else {
        const auto& mode = m_config.modes[c.ModeIndex % kModeCount];
        const auto modulus = static_cast<std::uint8_t>(mode.BinsPerSymbol / 8);
        m_frameCounter[1] = static_cast<std::uint8_t>((m_frameCounter[1] + 1) % modulus);
        m_newFrameFlag[1] = m_frameCounter[1] == 0;
        if (m_newFrameFlag[1]) {
            m_frameIndex[1] = static_cast<std::uint16_t>((m_frameIndex[1] + 1) % kFrameRingLength);
            singleModeFraming(c);
        }
    }

    m_tickCounter = (m_tickCounter + 1) % 2;
    if (m_tickCounter == 0) m_client.sessionTick();
}

void ReceiveFrontEnd::spectrogramStep(const ReceiveConditions& c) {
    if (c.MonitorMode || c.TransmitActive || !(c.ListenMode || c.sessionActive)) return;
    std::array<RxComplex, kSpectrogramSamples> window{};
    const bool narrow = c.narrowSpectrogram;
    const auto& ring = narrow ? m_corrected : m_baseband;
    std::uint32_t k = wrapRing(static_cast<std::int64_t>(m_ringIndex) - (kSpectrogramSamples - 1));
    for (auto& v : window) {
        v = ring[k];
        k = (k + 1) % kRingLength;
    }
    if (narrow) {
        const auto spectrum = m_fft->forward(window, kNarrowBins);
        float* row = m_narrow.data() + m_spectrogramRow * kNarrowBins;
        for (std::size_t i = 0; i < kNarrowBins; ++i) row[i] = std::norm(spectrum[i]);
    } else {
        const auto spectrum = m_fft->forward(window, kWideBins);
        float* row = m_wide.data() + m_spectrogramRow * kWideBins;
        for (std::size_t i = 0; i < kWideBins; ++i) row[i] = std::norm(spectrum[i]);
    }
}

void ReceiveFrontEnd::storeFrame(std::size_t slot, std::size_t bins, bool spectra, bool power) {
    std::array<RxComplex, kMaxBins> window{};
    std::uint32_t k = wrapRing(static_cast<std::int64_t>(m_ringIndex) - static_cast<std::int64_t>(bins - 1));
    for (std::size_t i = 0; i < bins; ++i) {
        window[i] = m_corrected[k];
        k = (k + 1) % kRingLength;
    }
    const auto spectrum = m_fft->forward(std::span(window).first(bins), bins);
    const std::size_t offset = static_cast<std::size_t>(m_frameIndex[slot]) * kMaxBins;
    if (spectra) std::copy(spectrum.begin(), spectrum.end(), m_symbolSpectra[slot].begin() + offset);
    if (power) {
        float* out = m_symbolPower[slot].data() + offset;
        for (std::size_t i = 0; i < bins; ++i) out[i] = std::norm(spectrum[i]);
    }
}

void ReceiveFrontEnd::singleModeFraming(const ReceiveConditions& c) {
    if (!c.frameReception || c.TransmitActive) return;
    const auto& mode = m_config.modes[c.ModeIndex % kModeCount];
    storeFrame(1, mode.BinsPerSymbol, mode.ModeFamily == 1, mode.ModeFamily == 2);
}

void ReceiveFrontEnd::multiModeFraming(std::size_t m) {
    const auto& mode = m_config.modes[m];
    const std::size_t r = m_config.FftShareMode[m];
    if (r == m) {
        storeFrame(m, mode.BinsPerSymbol, true, true);
        return;
    }
    const std::size_t from = static_cast<std::size_t>(m_frameIndex[r]) * kMaxBins;
    const std::size_t to = static_cast<std::size_t>(m_frameIndex[m]) * kMaxBins;
    if (mode.ModeFamily == 1) {
        std::copy_n(m_symbolSpectra[r].begin() + from, kMaxBins, m_symbolSpectra[m].begin() + to);
    } else {
        std::copy_n(m_symbolPower[r].begin() + from, kMaxBins, m_symbolPower[m].begin() + to);
    }
}

std::span<const float, kNarrowBins> ReceiveFrontEnd::narrowSpectrogram(std::size_t row) const {
    return std::span<const float, kNarrowBins>(m_narrow.data() + (row % kSpectrogramRows) * kNarrowBins, kNarrowBins);
}

std::span<const float, kWideBins> ReceiveFrontEnd::wideSpectrogram(std::size_t row) const {
    return std::span<const float, kWideBins>(m_wide.data() + (row % kSpectrogramRows) * kWideBins, kWideBins);
}

void ReceiveFrontEnd::clearWideSpectrogram() { std::fill(m_wide.begin(), m_wide.end(), 0.0f); }

std::span<const RxComplex> ReceiveFrontEnd::symbolSpectra(std::size_t slot, std::size_t frame) const {
    const auto& store = m_symbolSpectra[slot];
    if (store.empty()) return {};
    return std::span(store).subspan((frame % kFrameRingLength) * kMaxBins, kMaxBins);
}

std::span<const float> ReceiveFrontEnd::symbolPower(std::size_t slot, std::size_t frame) const {
    const auto& store = m_symbolPower[slot];
    if (store.empty()) return {};
    return std::span(store).subspan((frame % kFrameRingLength) * kMaxBins, kMaxBins);
}

std::span<const float, kSnapshotColumns> ReceiveFrontEnd::snapshotSpectrum(std::size_t row) const {
    return std::span<const float, kSnapshotColumns>(m_snapshot.data() + row * kSnapshotColumns, kSnapshotColumns);
}

std::span<RxComplex, kMaxBins> ReceiveFrontEnd::frameSymbols(std::size_t symbol) {
    return std::span<RxComplex, kMaxBins>(m_frameSymbols.data() + symbol * kMaxBins, kMaxBins);
}

std::span<const RxComplex, kMaxBins> ReceiveFrontEnd::frameSymbols(std::size_t symbol) const {
    return std::span<const RxComplex, kMaxBins>(m_frameSymbols.data() + symbol * kMaxBins, kMaxBins);
}

void ReceiveFrontEnd::snapshot(std::uint32_t p, SnapshotSource source) {
    const auto& ring = source == SnapshotSource::CorrectedRing ? m_corrected : m_baseband;
    std::uint32_t cursor = wrapRing(static_cast<std::int64_t>(p) - kSnapshotSpan);
    std::array<RxComplex, kSnapshotSamples> body{};
    for (std::size_t row = 2; row <= 32; ++row) {
        for (auto& v : body) {
            cursor = (cursor + 1) % kRingLength;
            v = ring[cursor];
        }
        const auto spectrum = m_fft->forward(body, kSnapshotFft);
        float* out = m_snapshot.data() + row * kSnapshotColumns;
        for (std::size_t k = 0; k < kSnapshotFft; ++k) out[k] = std::norm(spectrum[k]);
    }
}

// Walks the symbol bodies 2..SymbolLimit of the current mode for a frame whose last sample is at
// ring index p, handing each body (oldest sample first) to perSymbol(symbol, body).
template <typename PerSymbol>
void ReceiveFrontEnd::forEachSymbolBody(const std::vector<RxComplex>& ring, std::uint32_t p, PerSymbol&& perSymbol) {
    const auto& mode = m_config.modes[m_client.receiveConditions().ModeIndex % kModeCount];
    const std::size_t bins = mode.BinsPerSymbol;
    const auto guard = static_cast<std::uint32_t>(std::nearbyint(static_cast<float>(bins) * mode.GuardFraction));
    const auto period = static_cast<std::int64_t>(bins + guard);
    std::uint32_t cursor = wrapRing(static_cast<std::int64_t>(p) - (mode.SymbolLimit - 1) * period);
    std::array<RxComplex, kMaxBins> body{};
    for (int symbol = 2; symbol <= mode.SymbolLimit; ++symbol) {
        cursor = (cursor + guard) % kRingLength;
        for (std::size_t j = 0; j < bins; ++j) {
            cursor = (cursor + 1) % kRingLength;
            body[j] = ring[cursor];
        }
        perSymbol(static_cast<std::size_t>(symbol), std::span<const RxComplex>(body.data(), bins));
    }
}

// The whole corrected ring, oldest sample first, through the second mixer; the copy keeps the ring's
// indexing so that the frame timing applies to it unchanged.
void ReceiveFrontEnd::copyCorrectedRotated(float shiftHz) {
    std::uint32_t k = m_ringIndex;
    for (std::size_t n = 0; n < kRingLength; ++n) {
        k = (k + 1) % kRingLength;
        m_correctedCopy[k] = shiftHz != 0.0f ? m_reExtractionMixer.rotate(m_corrected[k], shiftHz) : m_corrected[k];
    }
}

void ReceiveFrontEnd::robustReExtraction(std::uint32_t p) {
    forEachSymbolBody(m_corrected, p, [this](std::size_t symbol, std::span<const RxComplex> body) {
        const std::size_t n = 4 * body.size();
        const auto spectrum = m_fft->forward(body, n);
        float* out = m_snapshot.data() + symbol * kSnapshotColumns;
        for (std::size_t k = 0; k < n; ++k) out[k] = std::norm(spectrum[k]);
    });
}

void ReceiveFrontEnd::robustCorrectedReExtraction(std::uint32_t p, float shiftHz) {
    copyCorrectedRotated(shiftHz);
    forEachSymbolBody(m_correctedCopy, p, [this](std::size_t symbol, std::span<const RxComplex> body) {
        const auto spectrum = m_fft->forward(body, body.size());
        float* out = m_snapshot.data() + symbol * kSnapshotColumns;
        for (std::size_t k = 0; k < body.size(); ++k) out[k] = std::abs(spectrum[k]);
    });
}

void ReceiveFrontEnd::familyOneCorrectedReExtraction(std::uint32_t p, float shiftHz) {
    copyCorrectedRotated(shiftHz);
    const auto phases = m_config.CellPhaseTable;
    forEachSymbolBody(m_correctedCopy, p, [this, phases](std::size_t symbol, std::span<const RxComplex> body) {
        const auto spectrum = m_fft->forward(body, body.size());
        const std::size_t relative = symbol - 2;
        RxComplex* out = m_frameSymbols.data() + relative * kMaxBins;
        for (std::size_t l = 0; l < body.size(); ++l) out[l] = spectrum[l] * phases[l * kFrameSymbolCount + relative];
    });
}

}  // namespace zolk
