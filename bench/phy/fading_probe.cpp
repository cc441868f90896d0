// fading_probe: where the frames of a multi-carrier mode (5..13) are lost on an impaired channel.
// Each transmission is heard three ways by three front-ends fed in step: through the channel with
// its noise, through the same channel without noise, and clean. The receiver's own detection and
// cut of the noisy frame are then decoded three ways: as the receiver decodes them; with ideal
// channel knowledge (each cell times the clean over the noise-free cell, then the same stage 1, so
// our zero-forcing and soft values stay); and with only the channel's exact phase taken
// out (for the differential modes, whose detection keeps the amplitudes). The receiver's raw bit
// errors are counted against the soft values of the clean frame. Not run by ctest.
//
//   fading_probe --mode M --snr FROM:TO:STEP|none --frames N [--fading SPREAD,DELAY] [--seed S]
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/fec/mode_fec.h"
#include "phy/rx/carrier_demodulator.h"
#include "phy/rx/carrier_detector.h"
#include "phy/rx/carrier_frame_cut.h"
#include "phy/rx/receive_front_end.h"
#include "phy_trial.h"
#include "sim/channel_model.h"
#include "tx_rig.h"

namespace zolk::bench {
namespace {

constexpr std::int16_t kDriveLevelDb = -5;
constexpr std::size_t kLeadSamples = 48 * kAudioBlockLength;
constexpr std::size_t kTrailSamples = 2 * 48000;

struct Options {
    int mode = 10;
    std::vector<std::optional<double>> snrs;  // nullopt: no noise
    int frames = 10;
    std::optional<sim::FadingSettings> fading;
    std::uint64_t seed = 1;
};

// One front-end hearing one version of the audio and detecting frames of the mode in slot 1.
class Ear final : public FrontEndClient {
public:
    Ear(const DrawnTables& drawn, const ModeTables& tables)
        : m_drawn(drawn), m_tables(tables), m_frontEnd(std::make_unique<ReceiveFrontEnd>(drawn, *this)) {}

    void hear(std::span<const float, kAudioBlockLength> block) { m_frontEnd->processCaptureBlock(block); }
    const std::optional<CarrierDetection>& detection() const { return m_detection; }
    ReceiveFrontEnd& frontEnd() { return *m_frontEnd; }

    ReceiveConditions receiveConditions() const override {
        return {.sessionActive = true, .frameReception = true, .narrowSpectrogram = true,
                .modeIndex = static_cast<std::uint8_t>(m_tables.mode), .waterfallShown = false};
    }
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override {
        if (m_detection || !m_frontEnd->newFrameFlag(1)) return;
        m_detection =
            m_detector.detectFrame(m_tables, m_drawn, 1, m_frontEnd->symbolSpectraStore(1),
                                   m_frontEnd->frameIndex(1), m_frontEnd->ringIndex());
    }

private:
    const DrawnTables& m_drawn;
    const ModeTables& m_tables;
    CarrierFrameDetector m_detector;
    std::optional<CarrierDetection> m_detection;
    std::unique_ptr<ReceiveFrontEnd> m_frontEnd;
};

struct Counts {
    int detected = 0;
    int decoded = 0;
    int idealChannel = 0;
    int exactPhase = 0;
    double bitErrors = 0.0;  // summed over detected frames
};

class Probe {
public:
    Probe(const TablesFile& tables, int mode)
        : m_tables(tables),
          m_mode(mode),
          m_turnSymbols(headerTurnSymbols(tables[mode])),
          m_rig(std::make_unique<phytool::TxRig>(tables, kDriveLevelDb)),
          m_drawn(std::make_unique<DrawnTables>(m_random)),
          m_demodulator(std::make_unique<CarrierDemodulator>(qamColumn())),
          m_fec(std::make_unique<ModeTurboDecoder>(tables, m_drawn->pseudoRandomBits())) {}

    void run(sim::ChannelSettings noisy, std::uint64_t payloadSeed, Counts& counts) {
        phytool::TrialFrame sent = phytool::trialFrame(m_mode, payloadSeed);
        m_frame = std::move(sent.frame);
        noisy.delayMs += sent.alignmentMs;
        const std::span<const std::uint8_t> frames[] = {m_frame};
        std::vector<float> audio(kLeadSamples, 0.0F);
        m_rig->transmit(m_mode, frames, [&](std::span<const std::int16_t> s) { audio.insert(audio.end(), s.begin(), s.end()); });

        noisy.signalPower = sim::onAirPower(audio);
        sim::ChannelSettings quiet = noisy;
        quiet.snrDb.reset();
        sim::ChannelModel noisyModel(noisy);
        sim::ChannelModel quietModel(quiet);
        sim::ChannelModel cleanModel(sim::ChannelSettings{.delayMs = noisy.delayMs});
        const std::size_t length = (audio.size() + noisyModel.latency() + kTrailSamples + kAudioBlockLength - 1) /
                                   kAudioBlockLength * kAudioBlockLength;
        // The clean copy comes as late as the analytic path of the others makes them.
        std::vector<float> clean(noisyModel.latency() - cleanModel.latency(), 0.0F);
        clean.insert(clean.end(), audio.begin(), audio.end());
        clean.resize(length, 0.0F);
        audio.resize(length, 0.0F);
        std::vector<float> heard = audio;
        noisyModel.process(heard);
        quietModel.process(audio);
        cleanModel.process(clean);

        const ModeTables& tables = m_tables[m_mode];
        Ear noisyEar(*m_drawn, tables), quietEar(*m_drawn, tables), cleanEar(*m_drawn, tables);
        for (std::size_t at = 0; at < length && !(noisyEar.detection() && cleanEar.detection()); at += kAudioBlockLength) {
            noisyEar.hear(std::span<const float, kAudioBlockLength>(heard.data() + at, kAudioBlockLength));
            quietEar.hear(std::span<const float, kAudioBlockLength>(audio.data() + at, kAudioBlockLength));
            cleanEar.hear(std::span<const float, kAudioBlockLength>(clean.data() + at, kAudioBlockLength));
        }
        if (!noisyEar.detection() || !cleanEar.detection()) return;
        ++counts.detected;

        const auto& c = *cleanEar.detection();
        cutCarrierFrame(cleanEar.frontEnd(), tables, m_turnSymbols, c.ringIndex, c.frequencyShift);
        m_demodulator->stage1(tables, cleanEar.frontEnd().frameSymbolStore());
        const std::vector<float> reference(m_demodulator->softBits().begin(), m_demodulator->softBits().end());

        const auto& d = *noisyEar.detection();
        const CarrierCut cut = cutCarrierFrame(noisyEar.frontEnd(), tables, m_turnSymbols,
                                               d.ringIndex, d.frequencyShift);
        m_demodulator->stage1(tables, noisyEar.frontEnd().frameSymbolStore());
        const auto soft = m_demodulator->softBits();
        const auto wrong = std::inner_product(soft.begin(), soft.end(), reference.begin(), std::size_t{0}, std::plus<>(),
                                              [](float a, float b) { return static_cast<std::size_t>((a > 0) != (b > 0)); });
        counts.bitErrors += static_cast<double>(wrong) / static_cast<double>(reference.size());
        counts.decoded += decodes(soft);

        for (Ear* ear : {&noisyEar, &quietEar, &cleanEar}) {
            ear->frontEnd().familyOneCorrectedReExtraction(m_mode, cut.ringIndex, 0.0F);
        }
        counts.idealChannel += decodesCorrected(noisyEar, quietEar, cleanEar, tables, false);
        for (Ear* ear : {&noisyEar, &quietEar, &cleanEar}) {
            ear->frontEnd().familyOneCorrectedReExtraction(m_mode, cut.ringIndex, 0.0F);
        }
        counts.exactPhase += decodesCorrected(noisyEar, quietEar, cleanEar, tables, true);
    }

private:
    bool decodes(std::span<const float> soft) {
        for (int step = 1; step <= 9; ++step) m_fec->fecStep(step, m_mode, soft);
        const auto bytes = m_fec->frameBytes();
        return std::equal(bytes.begin(), bytes.end(), m_frame.begin(), m_frame.end());
    }

    // The noisy cells times the channel's inverse as the noise-free and clean cells show it (or
    // only its phase), then the receiver's stage 1 and decoder.
    bool decodesCorrected(Ear& noisy, Ear& quiet, Ear& clean, const ModeTables& tables, bool phaseOnly) {
        const auto cells = noisy.frontEnd().frameSymbolStore();
        const auto faded = quiet.frontEnd().frameSymbolStore();
        const auto plain = clean.frontEnd().frameSymbolStore();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Complex turn = complexMul(plain[i], complexConj(faded[i]));
            const float scale = phaseOnly ? complexAbs(turn) : complexPower(faded[i]);
            cells[i] = scale > 0.0F ? complexMul(cells[i], turn) / scale : Complex{};
        }
        m_demodulator->stage1(tables, cells);
        return decodes(m_demodulator->softBits());
    }

    const TablesFile& m_tables;
    int m_mode;
    std::vector<std::int16_t> m_turnSymbols;
    std::unique_ptr<phytool::TxRig> m_rig;
    RandomSource m_random;
    std::unique_ptr<DrawnTables> m_drawn;
    std::unique_ptr<CarrierDemodulator> m_demodulator;
    std::unique_ptr<ModeTurboDecoder> m_fec;
    std::vector<std::uint8_t> m_frame;
};

double number(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        throw std::invalid_argument("not a number: \"" + std::string(text) + "\"");
    }
    return value;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string_view value = argv[i + 1];
        if (name == "--mode") {
            o.mode = static_cast<int>(number(value));
        } else if (name == "--frames") {
            o.frames = static_cast<int>(number(value));
        } else if (name == "--seed") {
            o.seed = static_cast<std::uint64_t>(number(value));
        } else if (name == "--fading") {
            const auto comma = value.find(',');
            if (comma == std::string_view::npos) throw std::invalid_argument("--fading SPREAD,DELAY");
            o.fading = sim::FadingSettings{.spreadHz = number(value.substr(0, comma)),
                                           .delayMs = number(value.substr(comma + 1))};
        } else if (name == "--snr" && value == "none") {
            o.snrs = {std::nullopt};
        } else if (name == "--snr") {
            const auto first = value.find(':');
            const auto second = value.find(':', first + 1);
            if (second == std::string_view::npos) throw std::invalid_argument("--snr FROM:TO:STEP or none");
            const double from = number(value.substr(0, first));
            const double to = number(value.substr(first + 1, second - first - 1));
            const double step = number(value.substr(second + 1));
            if (!(step > 0.0) || to < from) throw std::invalid_argument("--snr needs FROM <= TO and STEP > 0");
            for (double s = from; s <= to + 1e-9; s += step) o.snrs.emplace_back(s);
        } else {
            throw std::invalid_argument("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (o.mode < 5 || o.mode > 13) throw std::invalid_argument("--mode must be a multi-carrier mode, 5..13");
    if (o.snrs.empty()) throw std::invalid_argument("--snr is required");
    if (o.frames < 1) throw std::invalid_argument("--frames must be at least 1");
    return o;
}

}  // namespace
}  // namespace zolk::bench

int main(int argc, char** argv) {
    using namespace zolk;
    try {
        const bench::Options o = bench::parse(argc, argv);
        const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
        if (load.error != TablesFileError::None) throw std::runtime_error(load.message);
        bench::Probe probe(*load.tables, o.mode);
        for (std::size_t p = 0; p < o.snrs.size(); ++p) {
            bench::Counts counts;
            for (int f = 0; f < o.frames; ++f) {
                const auto frame = static_cast<std::uint64_t>(f);
                sim::ChannelSettings channel{.fading = o.fading, .snrDb = o.snrs[p],
                                             .seed = phytool::trialSeed(o.seed, p, frame, 1)};
                probe.run(channel, phytool::trialSeed(o.seed, p, frame, 2), counts);
            }
            const double errors = counts.detected > 0 ? counts.bitErrors / counts.detected : 0.0;
            char snr[32] = "none";
            if (o.snrs[p]) std::snprintf(snr, sizeof snr, "%.1f", *o.snrs[p]);
            std::printf("mode=%d snr=%s frames=%d detected=%d decoded=%d ideal_channel=%d exact_phase=%d bit_errors=%.4f\n",
                        o.mode, snr, o.frames, counts.detected, counts.decoded, counts.idealChannel, counts.exactPhase, errors);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fading_probe: %s\n", e.what());
        return 2;
    }
    return 0;
}
