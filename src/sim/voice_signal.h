// voice_signal.h: a voice-like SSB audio signal for measuring what listens to the channel: a
// pitch with a slow vibrato, harmonics shaped by three formants, spoken in syllables.
// Owns only its parameters; plain arithmetic on the sample number.
#pragma once

#include <cstdint>

namespace zolk::sim {

struct VoiceSettings {
    double pitchHz = 130.0;       // mean fundamental
    double vibratoHz = 0.7;       // rate of the pitch's slow swing
    double vibratoDepthHz = 15.0;
    double syllablesPerS = 4.0;
    double syllablePhase = 0.0;   // radians; where the first syllable starts
    double amplitude = 1000.0;    // 16-bit scale; the mean power is about amplitude^2 / 5
};

// Sample n at 48000 Hz. Harmonics from the third up to 2800 Hz, as an SSB voice channel passes.
double voiceSample(const VoiceSettings& v, std::int64_t n);

}  // namespace zolk::sim
