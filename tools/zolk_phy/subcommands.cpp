#include "subcommands.h"

#include <array>

namespace zolk::phytool {

namespace {
constexpr std::array kSubcommands{
    Subcommand{"modes", "modes: print the mode table as tab-separated text", runModes},
    Subcommand{"offset",
               "offset --in FILE.wav --out FILE.wav --hz F: move every frequency of a recording by F Hz",
               runOffset},
    Subcommand{"rx",
               "rx --mode M --in FILE.wav [--frames 1|2] [--tables FILE] | rx --monitor --in FILE.wav: "
               "decode the data frames of a recording, one line per detected frame | rx --control [CODES] "
               "--call CALL [--mycall CALL]... [--code-seed idle] [--wide] --in FILE.wav: find control frames "
               "of the link with CALL (CODES: a comma list, every code without it), one line per detection",
               runRx},
    Subcommand{"sweep",
               "sweep --mode M --snr FROM:TO:STEP --frames N [--offset HZ] [--drift HZ_PER_S] [--ppm X] "
               "[--fading SPREAD_HZ,DELAY_MS] [--seed S] [--tables FILE]: frame success against S/N "
               "(dB in 2500 Hz) through the channel model, and the S/N where it first reaches 90 %",
               runSweep},
    Subcommand{"tx",
               "tx --mode M --out FILE.wav [--frames 1|2] [--text STRING | --payload FILE | "
               "--random] [--count K] [--gap SECONDS] [--seed S] [--drive DB] [--tables FILE]: "
               "write the audio of K data transmissions | tx --control CODE[,CODE...] --call CALL "
               "[--mycall CALL]... [--code-seed idle] [--lead-in-tone] [--count K] [--gap SECONDS] [--drive DB] "
               "--out FILE.wav: control frames drawn for the link with the called station CALL",
               runTx},
};
}  // namespace

std::span<const Subcommand> subcommands() { return kSubcommands; }

}  // namespace zolk::phytool
