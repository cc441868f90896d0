// zolk-phy tx: writes the audio of K data transmissions of one mode to a WAV file, exactly as the
// playback sends it from PTT on to PTT off, with silence between transmissions.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "parse_number.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/data_frame.h"
#include "subcommands.h"
#include "tx_rig.h"
#include "wav_writer.h"

namespace zolk::phytool {
namespace {

using toolcommon::parseNumber;

constexpr std::uint32_t kSampleRateHz = 48000;

// A bad argument: its text is the one-line message.
struct BadInput : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class PayloadSource : std::uint8_t { None, Text, File, Random };

struct TxOptions {
    int mode = -1;
    std::string out;
    int framesPerTransmission = 1;
    PayloadSource source = PayloadSource::None;
    std::string text;
    std::string payloadFile;
    std::optional<int> count;
    double gapS = 1.0;
    std::uint32_t seed = 1;
    int driveDb = -5;
    std::string tables;
};

TxOptions parseOptions(std::span<const std::string_view> args) {
    TxOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) {
                throw BadInput(std::string(name) + " needs a value");
            }
            return args[++i];
        };
        const auto source = [&](PayloadSource s) {
            if (o.source != PayloadSource::None) {
                throw BadInput("give only one of --text, --payload and --random");
            }
            o.source = s;
        };
        if (name == "--mode") {
            const std::string_view v = value();
            const auto mode = parseNumber<int>(v);
            if (!mode || *mode < 0 || *mode >= kModeCount) {
                throw BadInput("unknown mode \"" + std::string(v) + "\" (modes are 0..14)");
            }
            o.mode = *mode;
        } else if (name == "--out") {
            o.out = value();
        } else if (name == "--frames") {
            const std::string_view v = value();
            const auto frames = parseNumber<int>(v);
            if (!frames || (*frames != 1 && *frames != 2)) {
                throw BadInput("--frames must be 1 or 2, not \"" + std::string(v) + "\"");
            }
            o.framesPerTransmission = *frames;
        } else if (name == "--text") {
            source(PayloadSource::Text);
            o.text = value();
        } else if (name == "--payload") {
            source(PayloadSource::File);
            o.payloadFile = value();
        } else if (name == "--random") {
            source(PayloadSource::Random);
        } else if (name == "--count") {
            const std::string_view v = value();
            const auto count = parseNumber<int>(v);
            if (!count || *count < 1) {
                throw BadInput("--count must be a whole number of at least 1, not \"" +
                               std::string(v) + "\"");
            }
            o.count = *count;
        } else if (name == "--gap") {
            const std::string_view v = value();
            const auto gap = parseNumber<double>(v);
            if (!gap || !std::isfinite(*gap) || *gap < 0.0 || *gap > 3600.0) {
                throw BadInput("--gap must be 0 to 3600 seconds, not \"" + std::string(v) + "\"");
            }
            o.gapS = *gap;
        } else if (name == "--seed") {
            const std::string_view v = value();
            const auto seed = parseNumber<std::uint32_t>(v);
            if (!seed) {
                throw BadInput("--seed must be a whole number 0..4294967295, not \"" +
                               std::string(v) + "\"");
            }
            o.seed = *seed;
        } else if (name == "--drive") {
            const std::string_view v = value();
            const auto drive = parseNumber<int>(v);
            if (!drive || *drive < -30 || *drive > 0) {
                throw BadInput("drive level \"" + std::string(v) +
                               "\" out of range (-30..0 dB, whole numbers)");
            }
            o.driveDb = *drive;
        } else if (name == "--tables") {
            o.tables = value();
        } else {
            throw BadInput("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (o.mode < 0) {
        throw BadInput("--mode is required");
    }
    if (o.out.empty()) {
        throw BadInput("--out is required");
    }
    if (o.source == PayloadSource::None) {
        throw BadInput("give one of --text, --payload and --random");
    }
    return o;
}

std::vector<std::uint8_t> readPayloadFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw BadInput("cannot read payload file " + path + ": it is a directory");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw BadInput("cannot read payload file " + path + ": " +
                       std::generic_category().message(errno));
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw BadInput("cannot read payload file " + path);
    }
    return bytes;
}

// The payloads in sending order: the input cut into frames of UserBytes (an empty input still
// sends one empty frame), or one full random payload per frame.
class PayloadStream {
public:
    PayloadStream(const TxOptions& o, int userBytes) : m_userBytes(userBytes), m_random() {
        m_random.seed(static_cast<std::int32_t>(o.seed));
        if (o.source == PayloadSource::Random) {
            return;
        }
        const std::vector<std::uint8_t> input =
            o.source == PayloadSource::Text
                ? std::vector<std::uint8_t>(o.text.begin(), o.text.end())
                : readPayloadFile(o.payloadFile);
        for (std::size_t at = 0; at == 0 || at < input.size(); at += userBytes) {
            const auto end = std::min(input.size(), at + static_cast<std::size_t>(userBytes));
            m_pieces.emplace_back(input.begin() + static_cast<std::ptrdiff_t>(at),
                                  input.begin() + static_cast<std::ptrdiff_t>(end));
        }
    }

    bool random() const { return m_pieces.empty(); }
    // Frames the input needs once; 0 for random payloads, which never run out.
    int inputFrames() const { return static_cast<int>(m_pieces.size()); }

    // The payload of frame number index (0-based); a cut input repeats from its start.
    std::vector<std::uint8_t> payload(int index) {
        if (!random()) {
            return m_pieces[static_cast<std::size_t>(index) % m_pieces.size()];
        }
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(m_userBytes));
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(m_random.draw(255));
        }
        return bytes;
    }

private:
    int m_userBytes;
    RandomSource m_random;
    std::vector<std::vector<std::uint8_t>> m_pieces;
};

std::string hexByte(std::uint8_t b) {
    std::ostringstream os;
    os << std::uppercase << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(b);
    return os.str();
}

int run(const TxOptions& o, std::ostream& out) {
    const ModeRecord& record = modeRecord(o.mode);
    PayloadStream payloads(o, record.userBytes);
    const int perTransmission = o.framesPerTransmission;
    const int needed =
        payloads.random() ? 1 : (payloads.inputFrames() + perTransmission - 1) / perTransmission;
    const int count = o.count.value_or(needed);
    if (count < needed) {
        throw BadInput("the input needs " + std::to_string(needed) + " transmissions of " +
                       std::to_string(perTransmission) + " frame(s); --count " +
                       std::to_string(count) + " would drop the rest");
    }
    const int totalFrames = count * perTransmission;
    const std::optional<std::filesystem::path> given =
        o.tables.empty() ? std::nullopt : std::optional<std::filesystem::path>(o.tables);
    const TablesFileLoad load = loadTablesFile(locateTablesFile(given, executableDir()));
    if (load.error != TablesFileError::None) {
        throw std::runtime_error(load.message);
    }
    TxRig rig(*load.tables, static_cast<std::int16_t>(o.driveDb));
    WavWriter wav(o.out, kSampleRateHz);
    const auto gapSamples = static_cast<std::size_t>(std::llround(o.gapS * kSampleRateHz));

    int frameNumber = 0;
    for (int t = 1; t <= count; ++t) {
        std::vector<std::vector<std::uint8_t>> frames;
        for (int slot = 1; slot <= perTransmission; ++slot) {
            const std::vector<std::uint8_t> payload = payloads.payload(frameNumber);
            ++frameNumber;
            std::vector<std::uint8_t> frame(static_cast<std::size_t>(record.netBytes));
            buildDataFrame(payload, {.lastFrame = frameNumber == totalFrames}, frame);
            out << "frame " << frameNumber << " (transmission " << t << ", slot " << slot
                << "): " << payload.size() << " payload bytes, CRC "
                << hexByte(frame[frame.size() - 2]) << ' ' << hexByte(frame.back()) << '\n';
            frames.push_back(std::move(frame));
        }
        if (t > 1) {
            wav.writeSilence(gapSamples);
        }
        const std::vector<std::span<const std::uint8_t>> views(frames.begin(), frames.end());
        rig.transmit(o.mode, views,
                     [&](std::span<const std::int16_t> samples) { wav.write(samples); });
    }
    wav.finish();
    out << "wrote " << o.out << ": " << wav.sampleCount() << " samples (" << std::fixed
        << std::setprecision(3) << static_cast<double>(wav.sampleCount()) / kSampleRateHz
        << " s)\n";
    return 0;
}

}  // namespace

int runTx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (wantsControl(args)) return runControlTx(args, out, err);
    try {
        return run(parseOptions(args), out);
    } catch (const std::exception& e) {
        err << "zolk-phy tx: " << e.what() << '\n';
        return 2;
    }
}

}  // namespace zolk::phytool
