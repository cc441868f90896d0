// zolk-screenshots: pictures of the operator's window on a station receiving over a simulated
// link: robust.png in a weak-signal stretch as the station answers a frame, fast.png after the S/N
// rises and the link speeds up, as a frame is decoded.
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parse_number.h"
#include "screenshot_run.h"

namespace {

constexpr std::string_view kUsage =
    "usage: zolk-screenshots [--robust SECONDS] [--fast SECONDS] FOLDER\n"
    "  Writes FOLDER/robust.png (S/N -5 dB for --robust seconds after the link comes up, default 60)\n"
    "  and FOLDER/fast.png (then S/N +20 dB for --fast seconds, default 90), from fixed seeds.\n";

struct Options {
    double robustS = 60.0;
    double fastS = 90.0;
    std::filesystem::path folder;
};

std::optional<Options> parse(const std::vector<std::string_view>& args) {
    Options options;
    bool haveFolder = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--robust" || args[i] == "--fast") {
            if (i + 1 >= args.size()) return std::nullopt;
            const auto seconds = zolk::toolcommon::parseNumber<double>(args[++i]);
            if (!seconds || *seconds < 0.0) return std::nullopt;
            (args[i - 1] == "--robust" ? options.robustS : options.fastS) = *seconds;
        } else if (!haveFolder && !args[i].starts_with("-")) {
            options.folder = std::string(args[i]);
            haveFolder = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveFolder) return std::nullopt;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(std::vector<std::string_view>(argv + 1, argv + argc));
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    // The same pictures on any machine: no display, no desktop theme.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const auto stations = std::filesystem::temp_directory_path() / ("zolk-screenshots-" + std::to_string(::getpid()));
    int status = 1;
    try {
        std::filesystem::create_directories(options->folder);
        zolk::screenshots::ScreenshotRun run(stations, zolk::screenshots::ScreenshotLink{});
        struct Phase {
            const char* file;
            double snrDb;
            double seconds;
            zolk::screenshots::Moment moment;
        };
        status = 0;
        using zolk::screenshots::Moment;
        for (const Phase& phase : {Phase{"robust.png", -5.0, options->robustS, Moment::Answering},
                                   Phase{"fast.png", 20.0, options->fastS, Moment::Decoded}}) {
            const auto shot = run.phase(phase.snrDb, phase.seconds, phase.moment);
            const auto file = options->folder / phase.file;
            if (!shot.picture.save(QString::fromStdString(file.string()), "PNG", 9)) {
                std::cerr << "zolk-screenshots: cannot write " << file.string() << '\n';
                status = 1;
                break;
            }
            std::cout << file.string() << ": at " << shot.timeS << " s, speed panel \"" << shot.speedText << "\"\n";
        }
    } catch (const std::exception& e) {
        std::cerr << "zolk-screenshots: " << e.what() << '\n';
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(stations, ignored);
    return status;
}
