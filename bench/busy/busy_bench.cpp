// busy_bench: the busy channel watch through the channel model: how often a tone, a voice-like
// SSB signal or another station's data frame is reported busy within 1 s of its start, against
// S/N; false BUSY ON per hour on noise alone at several input levels; the release time after a
// signal ends. The station's own path is used: receive front-end, busy detector and the input
// level measured as the level gauge measures it (peak of each 100 ms). Writes busy.md.body into
// --out.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "phy/common/audio_engine.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/rx/busy_detector.h"
#include "phy/rx/receive_front_end.h"
#include "phy/tx/data_frame.h"
#include "sim/channel_model.h"
#include "sim/voice_signal.h"
#include "tx_rig.h"

namespace zolk {
namespace {

constexpr std::size_t kBlock = kAudioBlockLength;
constexpr double kRate = 48000.0;
constexpr long kGaugeSamples = 4800;  // the level gauge's 100 ms

struct Options {
    int trials = 100;
    double noiseHours = 1.0;
    int releaseTrials = 30;
    std::string out = "bench/results";
};

// The listening half of a station: front-end, detector, the level gauge's gate, and the shown
// state, so that BUSY ON and BUSY OFF are counted once per change as the host gets them.
class Listener final : public FrontEndClient {
public:
    explicit Listener(const DrawnTables& tables) : m_frontEnd(tables, *this) {}

    // A new trial on the same listener (its rings are large to build): the detector starts a
    // fresh block, the channel shows free, the clock and the events start again. The level gauge
    // and the filters carry on as a station's do.
    void newTrial() {
        m_detector.restart();
        m_free = true;
        m_samples = m_basebandSamples = m_tests = m_levelCount = 0;
        m_levelSum = 0.0;
        m_busyOn.clear();
        m_busyOff.clear();
    }

    // Audio in whole blocks, 16-bit scale (clipped as a sound card clips).
    void hear(std::span<float> audio) {
        for (std::size_t b = 0; b + kBlock <= audio.size(); b += kBlock) {
            std::span<float, kBlock> block(audio.data() + b, kBlock);
            for (float& s : block) {
                s = std::clamp(std::round(s), -32768.0f, 32767.0f);
                m_peak = std::max(m_peak, std::abs(s));
            }
            m_frontEnd.processCaptureBlock(block);
            for (std::size_t i = 0; i < kBlock; ++i) {
                if (++m_samples % kGaugeSamples == 0) {
                    m_levelDb = captureLevelDb(m_peak);
                    m_peak = 0.0f;
                    m_levelSum += m_levelDb;
                    ++m_levelCount;
                }
            }
        }
    }
    double seconds() const { return static_cast<double>(m_samples) / kRate; }
    const std::vector<double>& busyOn() const { return m_busyOn; }
    const std::vector<double>& busyOff() const { return m_busyOff; }
    long tests() const { return m_tests; }
    double meanLevelDb() const { return m_levelCount > 0 ? m_levelSum / static_cast<double>(m_levelCount) : 0.0; }

    ReceiveConditions receiveConditions() const override { return {}; }
    void busySample(Complex x) override {
        ++m_basebandSamples;
        const BusyVerdict verdict = m_detector.push(x, m_levelDb);
        if (m_basebandSamples % (kBusyBlockSamples * kBusyTestInterval) == 0 && m_levelDb > kBusyLevelGateDb) ++m_tests;
        const double t = static_cast<double>(m_basebandSamples) / 3000.0;
        if (verdict == BusyVerdict::Busy && m_free) {
            m_free = false;
            m_busyOn.push_back(t);
        } else if (verdict == BusyVerdict::Free && !m_free) {
            m_free = true;
            m_busyOff.push_back(t);
        }
    }
    void waterfallSample(Complex) override {}
    void sessionTick() override {}

private:
    ReceiveFrontEnd m_frontEnd;
    BusyDetector m_detector;
    float m_levelDb = captureLevelDb(0.0f);
    float m_peak = 0.0f;
    long m_samples = 0;
    long m_basebandSamples = 0;
    long m_tests = 0;
    double m_levelSum = 0.0;
    long m_levelCount = 0;
    bool m_free = true;
    std::vector<double> m_busyOn;
    std::vector<double> m_busyOff;
};

// A signal source: audio of one trial's signal at unit scale (its on-air part from sample 0).
using Source = std::function<std::vector<float>(std::mt19937_64& random, double seconds)>;

std::vector<float> toneSource(std::mt19937_64& random, double seconds) {
    const double hz = std::uniform_real_distribution<double>(400.0, 2600.0)(random);
    const double phase = std::uniform_real_distribution<double>(0.0, 2.0 * std::numbers::pi)(random);
    std::vector<float> audio(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t n = 0; n < audio.size(); ++n)
        audio[n] = static_cast<float>(1000.0 * std::cos(2.0 * std::numbers::pi * hz * static_cast<double>(n) / kRate + phase));
    return audio;
}

std::vector<float> voiceSource(std::mt19937_64& random, double seconds) {
    sim::VoiceSettings v;
    v.pitchHz = std::uniform_real_distribution<double>(100.0, 200.0)(random);
    v.syllablePhase = std::uniform_real_distribution<double>(0.0, std::numbers::pi)(random);
    std::vector<float> audio(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t n = 0; n < audio.size(); ++n) audio[n] = static_cast<float>(sim::voiceSample(v, static_cast<long>(n)));
    return audio;
}

// One data frame of the mode from our own transmitter, from its first sound on.
Source frameSource(const TablesFile& tables, int mode) {
    auto rig = std::make_shared<phytool::TxRig>(tables, -5);
    return [rig, mode](std::mt19937_64& random, double seconds) {
        const ModeRecord& r = modeRecord(mode);
        std::vector<std::uint8_t> payload(static_cast<std::size_t>(r.userBytes));
        for (auto& b : payload) b = static_cast<std::uint8_t>(random());
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(r.netBytes));
        buildDataFrame(payload, DataFrameHeader{.lastFrame = true, .backlogClass = 0, .publicFlag = false}, frame);
        const std::vector<std::span<const std::uint8_t>> frames{frame};
        std::vector<float> audio;
        rig->transmit(mode, frames, [&](std::span<const std::int16_t> s) {
            for (std::int16_t v : s) audio.push_back(v);
        });
        const auto first = std::find_if(audio.begin(), audio.end(), [](float v) { return v != 0.0f; });
        audio.erase(audio.begin(), first);
        audio.resize(std::min(audio.size(), static_cast<std::size_t>(seconds * kRate)));
        return audio;
    };
}

// The noise of every detection trial: real white noise of this deviation (about -17 dB input
// level); the signal is scaled to the S/N in 2500 Hz.
constexpr double kNoiseSigma = 1000.0;

struct Trial {
    bool detectedInTime = false;
    bool earlyAlarm = false;    // BUSY ON before the signal started
    double releaseS = -1.0;     // BUSY OFF after the signal's end, when measured
};

// Noise for 0.3..0.45 s (the gauge settles, the detector's block phase is random), then the signal
// for signalS seconds, then tailS of noise alone.
Trial runTrial(Listener& listener, const Source& source, double snrDb, std::uint64_t seed, double signalS,
               double tailS) {
    std::mt19937_64 random(seed);
    std::vector<float> signal = source(random, signalS);
    const double power = sim::onAirPower(signal);
    const double wanted = kNoiseSigma * kNoiseSigma * sim::kSnrBandwidthHz * std::pow(10.0, snrDb / 10.0) / (kRate / 2.0);
    const auto gain = static_cast<float>(std::sqrt(wanted / power));
    for (float& s : signal) s *= gain;
    const std::size_t lead = kBlock * (57 + random() % 28);
    std::vector<float> audio(lead, 0.0f);
    audio.insert(audio.end(), signal.begin(), signal.end());
    const double endS = static_cast<double>(audio.size()) / kRate;
    audio.resize(audio.size() + static_cast<std::size_t>(tailS * kRate));
    audio.resize((audio.size() + kBlock - 1) / kBlock * kBlock, 0.0f);
    sim::ChannelSettings c;
    c.snrDb = snrDb;
    c.signalPower = wanted;
    c.seed = random();
    sim::ChannelModel channel(c);
    channel.process(audio);
    listener.newTrial();
    listener.hear(audio);
    const double startS = static_cast<double>(lead) / kRate;
    Trial t;
    for (const double on : listener.busyOn()) {
        if (on < startS) t.earlyAlarm = true;
        if (on >= startS && on <= startS + 1.0) t.detectedInTime = true;
    }
    for (const double off : listener.busyOff()) {
        if (off > endS) {
            t.releaseS = off - endS;
            break;
        }
    }
    return t;
}

std::string fixed(double v, int digits) {
    std::ostringstream os;
    os << std::fixed << std::setprecision(digits) << v;
    return os.str();
}

int run(const Options& o) {
    const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
    if (!load.tables) {
        std::cerr << load.message << '\n';
        return 1;
    }
    RandomSource random;
    const DrawnTables tables(random);
    std::filesystem::create_directories(o.out);
    std::ofstream md(o.out + "/busy.md.body");

    struct Kind {
        std::string name;
        Source source;
    };
    const std::vector<Kind> kinds = {
        {"tone, 400..2600 Hz", toneSource},
        {"voice-like SSB, pitch 100..200 Hz", voiceSource},
        {"data frame, mode 0 (robust)", frameSource(*load.tables, 0)},
        {"data frame, mode 8", frameSource(*load.tables, 8)},
        {"data frame, mode 13", frameSource(*load.tables, 13)},
    };
    const std::vector<double> snrs = {-10.0, -5.0, 0.0, 5.0, 10.0, 15.0, 20.0};

    md << "### BUSY ON within 1 s of the signal's start\n\n";
    md << "Per cell " << o.trials << " trials: 0.3..0.45 s of white noise (deviation " << kNoiseSigma
       << ", input level about -17 dB), then the signal at the S/N (2500 Hz), each trial with its own noise,"
          " frequency or payload. In brackets: trials with a BUSY ON on noise before the signal.\n\n";
    md << "| signal |";
    for (double s : snrs) md << " " << fixed(s, 0) << " dB |";
    md << "\n|---|";
    for (std::size_t i = 0; i < snrs.size(); ++i) md << "---:|";
    md << "\n";
    std::uint64_t seed = 1;
    Listener listener(tables);
    for (const Kind& k : kinds) {
        md << "| " << k.name << " |";
        for (double snr : snrs) {
            int hits = 0, early = 0;
            for (int t = 0; t < o.trials; ++t) {
                const Trial r = runTrial(listener, k.source, snr, seed++, 1.2, 0.0);
                hits += r.detectedInTime ? 1 : 0;
                early += r.earlyAlarm ? 1 : 0;
            }
            md << " " << fixed(100.0 * hits / o.trials, 0) << " %" << (early > 0 ? " (" + std::to_string(early) + ")" : "")
               << " |";
            std::cerr << k.name << " " << snr << " dB: " << hits << "/" << o.trials << '\n';
        }
        md << "\n";
    }

    md << "\n### Release after the signal ends\n\n";
    md << "A tone at 0 dB for 2 s, then noise alone; time from the tone's end to BUSY OFF over "
       << o.releaseTrials << " trials.\n\n";
    std::vector<double> releases;
    for (int t = 0; t < o.releaseTrials; ++t) {
        const Trial r = runTrial(listener, toneSource, 0.0, 100000 + static_cast<std::uint64_t>(t), 2.0, 9.0);
        if (r.releaseS >= 0.0) releases.push_back(r.releaseS);
    }
    if (!releases.empty()) {
        double sum = 0.0;
        for (double r : releases) sum += r;
        const auto [lo, hi] = std::minmax_element(releases.begin(), releases.end());
        md << "| released | min | mean | max |\n|---:|---:|---:|---:|\n";
        md << "| " << releases.size() << "/" << o.releaseTrials << " | " << fixed(*lo, 3) << " s | "
           << fixed(sum / static_cast<double>(releases.size()), 3) << " s | " << fixed(*hi, 3) << " s |\n";
    }

    md << "\n### False BUSY ON on noise alone\n\n";
    md << "White noise only, " << fixed(o.noiseHours, 2) << " h of audio per level (run in blocks, faster than"
          " real time). Tests: floor tests run (the level gate open).\n\n";
    md << "| noise deviation | mean input level | tests | BUSY ON | per hour |\n|---:|---:|---:|---:|---:|\n";
    for (const double sigma : {60.0, 150.0, 1000.0, 4000.0, 12000.0}) {
        listener.newTrial();
        std::mt19937_64 noiseRandom(static_cast<std::uint64_t>(sigma));
        std::normal_distribution<double> gauss(0.0, sigma);
        std::vector<float> chunk(kBlock * 1875);  // 10 s
        const long chunks = std::lround(o.noiseHours * 360.0);
        for (long i = 0; i < chunks; ++i) {
            for (float& s : chunk) s = static_cast<float>(gauss(noiseRandom));
            listener.hear(chunk);
        }
        const double hours = listener.seconds() / 3600.0;
        md << "| " << fixed(sigma, 0) << " | " << fixed(listener.meanLevelDb(), 1) << " dB | " << listener.tests()
           << " | " << listener.busyOn().size() << " | " << fixed(static_cast<double>(listener.busyOn().size()) / hours, 2)
           << " |\n";
        std::cerr << "noise " << sigma << ": " << listener.busyOn().size() << " in " << hours << " h\n";
    }
    return 0;
}

}  // namespace
}  // namespace zolk

int main(int argc, char** argv) {
    zolk::Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << a << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--trials") {
            o.trials = std::stoi(value());
        } else if (a == "--noise-hours") {
            o.noiseHours = std::stod(value());
        } else if (a == "--release-trials") {
            o.releaseTrials = std::stoi(value());
        } else if (a == "--out") {
            o.out = value();
        } else {
            std::cerr << "usage: busy_bench [--trials N] [--noise-hours H] [--release-trials N] [--out DIR]\n";
            return 2;
        }
    }
    if (o.trials < 1 || o.noiseHours <= 0.0 || o.releaseTrials < 1) {
        std::cerr << "busy_bench: trials, release trials and noise hours must be positive\n";
        return 2;
    }
    return zolk::run(o);
}
