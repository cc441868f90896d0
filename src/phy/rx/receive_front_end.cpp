#include "phy/rx/receive_front_end.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zolk {

namespace {

constexpr std::size_t kSamplesPerStep = kAudioBlockLength / kBasebandSamplesPerBlock;
constexpr std::size_t kSpectrogramSamples = 64;
constexpr std::size_t kSnapshotSamples = 64;
constexpr std::size_t kSnapshotFft = 256;
constexpr std::uint32_t kSnapshotSpan = 1984;  // rows 2..32, 64 samples each

constexpr double kLowPassCutoff = 0.25;          // 3000 Hz at 12000 Hz
constexpr double kBandPassLow = 150.0 / 6000.0;  // analytic 150..2900 Hz at 6000 Hz
constexpr double kBandPassHigh = 2900.0 / 6000.0;

std::uint32_t wrapRing(std::int64_t index) {
    const auto n = static_cast<std::int64_t>(kRingLength);
    return static_cast<std::uint32_t>(((index % n) + n) % n);
}

// Copies the body of one symbol of the frame that ends at p: it follows the symbol's guard,
// SymbolLimit - s + 1 periods before p.
std::span<const Complex> symbolBody(const ModeRecord& mode, const std::vector<Complex>& ring, std::uint32_t p,
                                    int symbol, std::array<Complex, kMaxBins>& body) {
    const std::size_t bins = mode.binsPerSymbol;
    const auto guard =
        static_cast<std::int64_t>(std::nearbyint(static_cast<float>(bins) * mode.guardFraction));
    const auto period = static_cast<std::int64_t>(bins) + guard;
    std::uint32_t cursor =
        wrapRing(static_cast<std::int64_t>(p) - (mode.symbolLimit - symbol + 1) * period + guard);
    for (std::size_t j = 0; j < bins; ++j) {
        cursor = (cursor + 1) % kRingLength;
        body[j] = ring[cursor];
    }
    return {body.data(), bins};
}

}  // namespace

std::span<const Complex> ReceiveFrontEnd::transform(std::span<const Complex> in, std::size_t n) {
    std::size_t i = 0;
    while (m_fft[i].size() < n) ++i;
    const std::span<Complex> work(m_fftWork.data(), n);
    std::copy(in.begin(), in.end(), work.begin());
    std::fill(work.begin() + static_cast<std::ptrdiff_t>(in.size()), work.end(), Complex{});
    m_fft[i].transform(work);
    return work;
}

ReceiveFrontEnd::ReceiveFrontEnd(const DrawnTables& tables, FrontEndClient& client)
    : m_tables(tables),
      m_client(client),
      m_fft{Fft(16), Fft(32), Fft(64), Fft(128), Fft(256)},
      m_lowPass(designComplexBandPass(0.0, kLowPassCutoff)),
      m_bandPass(designComplexBandPass(kBandPassLow, kBandPassHigh)),
      m_baseband(kRingLength),
      m_corrected(kRingLength),
      m_correctedCopy(kRingLength),
      m_narrow(kSpectrogramRows * kNarrowBins),
      m_wide(kSpectrogramRows * kWideBins),
      m_symbolSpectra{{{}, std::vector<Complex>(kFrameRingLength * kMaxBins)}},
      m_symbolPower{{{}, std::vector<float>(kFrameRingLength * kMaxBins)}},
      m_snapshot(kSnapshotRows * kSnapshotColumns),
      m_frameSymbols(kFrameSymbolCount * kMaxBins) {}

// Slot 1 serves every mode in single-mode operation and exists from the start. Of the others, a
// slot that others copy from needs both stores; otherwise a slot keeps only what its own family
// reads, for one frame of its mode.
void ReceiveFrontEnd::allocateMonitorSlots() {
    m_monitorSlots = true;
    for (std::size_t s = 2; s < kDetectorSlots; ++s) {
        const bool source = kFftShareMode[s] == s;
        const Family family = kModeTable[s].modeFamily;
        const std::size_t size = frameRingLength(s) * kMaxBins;
        if (source || family == Family::MultiCarrier) m_symbolSpectra[s].resize(size);
        if (source || family == Family::Robust) m_symbolPower[s].resize(size);
    }
}

ReceiveFrontEnd::~ReceiveFrontEnd() = default;

void ReceiveFrontEnd::processCaptureBlock(std::span<const float, kAudioBlockLength> block) {
    for (std::size_t step = 0; step < kBasebandSamplesPerBlock; ++step) {
        const bool transmitting = m_client.receiveConditions().transmitActive;
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

void ReceiveFrontEnd::sampleStep(Complex x) {
    const ReceiveConditions c = m_client.receiveConditions();
    m_client.busySample(x);
    if (c.waterfallShown) m_client.waterfallSample(x);

    m_ringIndex = (m_ringIndex + 1) % kRingLength;
    if (c.monitorMode || c.sessionActive) {
        m_corrected[m_ringIndex] = m_ringMixer.mix(x, m_receiveFrequencyOffsetHz, kBasebandRateHz);
    }
    m_baseband[m_ringIndex] = x;

    m_spectrogramCounter = (m_spectrogramCounter + 1) % 8;
    m_newSpectrogramRow = m_spectrogramCounter == 0;
    if (m_newSpectrogramRow) {
        m_spectrogramRow = static_cast<std::uint8_t>(m_spectrogramRow + 1);
        spectrogramStep(c);
    }

    if (c.monitorMode) {
        if (!m_monitorSlots) allocateMonitorSlots();
        m_newFrameFlag[1] = false;
        for (std::size_t m = 1; m < kDetectorSlots; ++m) {
            const auto modulus = static_cast<std::uint8_t>(kModeTable[m].binsPerSymbol / 8);
            m_frameCounter[m] = static_cast<std::uint8_t>((m_frameCounter[m] + 1) % modulus);
            m_newFrameFlag[m] = m_frameCounter[m] == 0;
            if (m_newFrameFlag[m]) {
                m_frameIndex[m] = static_cast<std::uint16_t>((m_frameIndex[m] + 1) % frameRingLength(m));
                if (!c.transmitActive) multiModeFraming(m);
            }
        }
    } else {
        const ModeRecord& mode = modeRecord(c.modeIndex);
        const auto modulus = static_cast<std::uint8_t>(mode.binsPerSymbol / 8);
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
    if (c.monitorMode || c.transmitActive || !(c.listenMode || c.sessionActive || c.controlListening)) return;
    std::array<Complex, kSpectrogramSamples> window{};
    const bool narrow = c.narrowSpectrogram;
    const auto& ring = narrow ? m_corrected : m_baseband;
    std::uint32_t k = wrapRing(static_cast<std::int64_t>(m_ringIndex) - (kSpectrogramSamples - 1));
    for (auto& v : window) {
        v = ring[k];
        k = (k + 1) % kRingLength;
    }
    if (narrow) {
        const auto spectrum = transform(window, kNarrowBins);
        float* row = m_narrow.data() + m_spectrogramRow * kNarrowBins;
        for (std::size_t i = 0; i < kNarrowBins; ++i) row[i] = std::norm(spectrum[i]);
    } else {
        const auto spectrum = transform(window, kWideBins);
        float* row = m_wide.data() + m_spectrogramRow * kWideBins;
        for (std::size_t i = 0; i < kWideBins; ++i) row[i] = std::norm(spectrum[i]);
    }
}

void ReceiveFrontEnd::storeFrame(std::size_t slot, std::size_t bins, bool spectra, bool power) {
    std::array<Complex, kMaxBins> window{};
    std::uint32_t k = wrapRing(static_cast<std::int64_t>(m_ringIndex) - static_cast<std::int64_t>(bins - 1));
    for (std::size_t i = 0; i < bins; ++i) {
        window[i] = m_corrected[k];
        k = (k + 1) % kRingLength;
    }
    const auto spectrum = transform(std::span(window).first(bins), bins);
    const std::size_t offset = static_cast<std::size_t>(m_frameIndex[slot]) * kMaxBins;
    if (spectra) std::copy(spectrum.begin(), spectrum.end(), m_symbolSpectra[slot].begin() + offset);
    if (power) {
        float* out = m_symbolPower[slot].data() + offset;
        for (std::size_t i = 0; i < bins; ++i) out[i] = std::norm(spectrum[i]);
    }
}

void ReceiveFrontEnd::singleModeFraming(const ReceiveConditions& c) {
    if (!c.frameReception || c.transmitActive) return;
    const ModeRecord& mode = modeRecord(c.modeIndex);
    storeFrame(1, mode.binsPerSymbol, mode.modeFamily == Family::MultiCarrier,
               mode.modeFamily == Family::Robust);
}

void ReceiveFrontEnd::multiModeFraming(std::size_t m) {
    const ModeRecord& mode = kModeTable[m];
    const std::size_t r = kFftShareMode[m];
    if (r == m) {
        storeFrame(m, mode.binsPerSymbol, true, true);
        return;
    }
    const std::size_t from = static_cast<std::size_t>(m_frameIndex[r]) * kMaxBins;
    const std::size_t to = static_cast<std::size_t>(m_frameIndex[m]) * kMaxBins;
    if (mode.modeFamily == Family::MultiCarrier) {
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

std::span<const Complex> ReceiveFrontEnd::symbolSpectra(std::size_t slot, std::size_t frame) const {
    const auto& store = m_symbolSpectra[slot];
    if (store.empty()) return {};
    return std::span(store).subspan((frame % frameRingLength(slot)) * kMaxBins, kMaxBins);
}

std::span<const float> ReceiveFrontEnd::symbolPower(std::size_t slot, std::size_t frame) const {
    const auto& store = m_symbolPower[slot];
    if (store.empty()) return {};
    return std::span(store).subspan((frame % frameRingLength(slot)) * kMaxBins, kMaxBins);
}

std::span<const float, kSnapshotColumns> ReceiveFrontEnd::snapshotSpectrum(std::size_t row) const {
    return std::span<const float, kSnapshotColumns>(m_snapshot.data() + row * kSnapshotColumns, kSnapshotColumns);
}

std::span<Complex, kMaxBins> ReceiveFrontEnd::frameSymbols(std::size_t symbol) {
    return std::span<Complex, kMaxBins>(m_frameSymbols.data() + symbol * kMaxBins, kMaxBins);
}

std::span<const Complex, kMaxBins> ReceiveFrontEnd::frameSymbols(std::size_t symbol) const {
    return std::span<const Complex, kMaxBins>(m_frameSymbols.data() + symbol * kMaxBins, kMaxBins);
}

void ReceiveFrontEnd::snapshot(std::uint32_t p, SnapshotSource source) {
    const auto& ring = source == SnapshotSource::CorrectedRing ? m_corrected : m_baseband;
    std::uint32_t cursor = wrapRing(static_cast<std::int64_t>(p) - kSnapshotSpan);
    std::array<Complex, kSnapshotSamples> body{};
    for (std::size_t row = 2; row <= 32; ++row) {
        for (auto& v : body) {
            cursor = (cursor + 1) % kRingLength;
            v = ring[cursor];
        }
        const auto spectrum = transform(body, kSnapshotFft);
        float* out = m_snapshot.data() + row * kSnapshotColumns;
        for (std::size_t k = 0; k < kSnapshotFft; ++k) out[k] = std::norm(spectrum[k]);
    }
}

// Walks the symbol bodies 2..symbolLimit of the mode for a frame whose last sample is at
// ring index p, handing each body (oldest sample first) to perSymbol(symbol, body).
template <typename PerSymbol>
void ReceiveFrontEnd::forEachSymbolBody(int modeIndex, const std::vector<Complex>& ring, std::uint32_t p,
                                        PerSymbol&& perSymbol) {
    const ModeRecord& mode = modeRecord(modeIndex);
    std::array<Complex, kMaxBins> body{};
    for (int symbol = 2; symbol <= mode.symbolLimit; ++symbol) {
        perSymbol(static_cast<std::size_t>(symbol), symbolBody(mode, ring, p, symbol, body));
    }
}

// The whole corrected ring, oldest sample first, through the second mixer; the copy keeps the ring's
// indexing so that the frame timing applies to it unchanged.
void ReceiveFrontEnd::copyCorrectedRotated(float shiftHz) {
    std::uint32_t k = m_ringIndex;
    for (std::size_t n = 0; n < kRingLength; ++n) {
        k = (k + 1) % kRingLength;
        m_correctedCopy[k] = shiftHz != 0.0f ? m_reExtractionMixer.mix(m_corrected[k], shiftHz, kBasebandRateHz) : m_corrected[k];
    }
}

void ReceiveFrontEnd::robustReExtraction(int mode, std::uint32_t p) {
    forEachSymbolBody(mode, m_corrected, p, [this](std::size_t symbol, std::span<const Complex> body) {
        const std::size_t n = 4 * body.size();
        const auto spectrum = transform(body, n);
        float* out = m_snapshot.data() + symbol * kSnapshotColumns;
        for (std::size_t k = 0; k < n; ++k) out[k] = std::norm(spectrum[k]);
    });
}

void ReceiveFrontEnd::robustCorrectedReExtraction(int mode, std::uint32_t p, float shiftHz) {
    copyCorrectedRotated(shiftHz);
    forEachSymbolBody(mode, m_correctedCopy, p, [this](std::size_t symbol, std::span<const Complex> body) {
        const auto spectrum = transform(body, body.size());
        float* out = m_snapshot.data() + symbol * kSnapshotColumns;
        for (std::size_t k = 0; k < body.size(); ++k) out[k] = std::abs(spectrum[k]);
    });
}

void ReceiveFrontEnd::familyOneCorrectedReExtraction(int mode, std::uint32_t p, float shiftHz) {
    copyCorrectedRotated(shiftHz);
    familyOneReCut(mode, p);
}

void ReceiveFrontEnd::familyOneReCut(int mode, std::uint32_t p) {
    forEachSymbolBody(mode, m_correctedCopy, p,
                      [this](std::size_t symbol, std::span<const Complex> body) {
                          storeFrameSymbol(symbol, body);
                      });
}

void ReceiveFrontEnd::familyOneReCut(int modeIndex, std::uint32_t p,
                                     std::span<const std::int16_t> symbols) {
    const ModeRecord& mode = modeRecord(modeIndex);
    std::array<Complex, kMaxBins> body{};
    for (const std::int16_t symbol : symbols) {
        if (symbol < 2 || symbol > mode.symbolLimit)
            throw std::out_of_range("familyOneReCut: symbol outside the frame");
        storeFrameSymbol(static_cast<std::size_t>(symbol), symbolBody(mode, m_correctedCopy, p, symbol, body));
    }
}

void ReceiveFrontEnd::storeFrameSymbol(std::size_t symbol, std::span<const Complex> body) {
    const auto spectrum = transform(body, body.size());
    const std::size_t relative = symbol - 2;
    Complex* out = m_frameSymbols.data() + relative * kMaxBins;
    for (std::size_t l = 0; l < body.size(); ++l)
        out[l] = complexMul(
            spectrum[l], m_tables.cellPhaseTable(static_cast<int>(l), static_cast<int>(relative)));
}

}  // namespace zolk
