// symbol_synthesis.h: turns one column of complex bins into the audio of one symbol or tone block
// (transform, cyclic prefix, cross-fade, level, hard clip). Owns the transforms and the cross-fade
// state; which column is sent when, and writing the ring, are the symbol feeder's job.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/fft.h"

namespace zolk {

inline constexpr int kToneBlockSamples = 1024;  // samples of a kind-1 block (21.333 ms)
inline constexpr int kToneBlockBins = 64;      // bins a kind-1 spectrum column holds

// Output gain for a crest allowance and the operator's drive level: 10^(-m/20) with
// m = (10 - crest)/5 + (crest + 2) - drive.
float levelGain(float crestDb, std::int16_t txDriveLevelDb);

// Every sample beyond full scale becomes exactly +-1.
void hardClip(std::span<float> samples);

// Full-scale float samples to ring samples, rounded to nearest with ties to even.
void toRingSamples(std::span<const float> samples, std::span<std::int16_t> ring);

// Kind 1: a 1024-sample tone block from 64 bins at 46.875 Hz spacing, no prefix, no cross-fade.
class ToneBlockSynthesizer {
public:
    ToneBlockSynthesizer();
    // bins.size() == kToneBlockBins, out.size() == kToneBlockSamples. No allocation.
    void synthesize(std::span<const Complex> bins, std::int16_t txDriveLevelDb,
                    std::span<float> out);

private:
    RealSynthesis m_transform;
    std::vector<Complex> m_spectrum;
};

// The figures of a mode that shape its kind-2 symbols.
struct CarrierSymbolShape {
    int transformSize;  // TransformSize: 256, 512 or 1024
    int guardLength;    // GuardLength, prefix samples
    int binsPerSymbol;  // BinsPerSymbol: spectrum bins taken from a column
    float amplitudeDivisor;
    float crestDb;
    bool crossfade;  // family 1 joins its symbols with a cross-fade, family 2 does not
    int crossfadeLength;
};

// Kind 2: one symbol of transformSize + guardLength samples with cyclic prefix, the cross-fade
// from the previous symbol, level and clip.
class CarrierSymbolSynthesizer {
public:
    CarrierSymbolSynthesizer();
    // Starts a transmission: the first symbol fades in from silence. Throws std::invalid_argument
    // for a shape this synthesizer has no transform for.
    void start(const CarrierSymbolShape& shape);
    // bins.size() >= binsPerSymbol, out.size() == transformSize + guardLength. No allocation.
    void synthesize(std::span<const Complex> bins, std::int16_t txDriveLevelDb,
                    std::span<float> out);
    // Fades the end of the last symbol to silence.
    void fadeOutEnd(std::span<float> out) const;

private:
    static constexpr int kMaxFade = 64;

    std::array<RealSynthesis, 3> m_transforms;  // 256, 512 and 1024 points
    RealSynthesis* m_transform = nullptr;
    std::vector<Complex> m_spectrum;
    std::vector<float> m_body;
    CarrierSymbolShape m_shape{};
    std::array<float, kMaxFade> m_fadeIn{};
    std::array<float, kMaxFade> m_fadeOut{};
    std::array<float, kMaxFade> m_overlap{};  // start of the previous body: its continuation
};

}  // namespace zolk
