// zolk-phy modes: the whole mode table, one tab-separated line per mode under a header line.
#include <array>
#include <ostream>
#include <sstream>
#include <string>

#include "phy/common/mode_table.h"
#include "subcommands.h"

namespace zolk::phytool {
namespace {

struct Column {
    std::string_view name;
    std::string (*value)(int mode, const ModeRecord& r);
};

template <typename T>
std::string text(T v) {
    std::ostringstream os;
    if constexpr (sizeof(T) == 1) {
        os << static_cast<int>(v);
    } else {
        os << v;
    }
    return os.str();
}

std::string checkpoints(const ModeRecord& r) {
    std::string joined;
    for (const auto c : r.Checkpoints) {
        joined += (joined.empty() ? "" : ",") + std::to_string(c);
    }
    return joined;
}

#define ZOLK_FIELD(field)                                              \
    Column {                                                           \
#field, [](int, const ModeRecord& r) { return text(r.field); } \
    }

// The published derived figures first, then every other field in record order.
const std::array kColumns{
    Column{"ModeIndex", [](int mode, const ModeRecord&) { return text(mode); }},
    ZOLK_FIELD(SymbolLength),
    ZOLK_FIELD(GuardLength),
    ZOLK_FIELD(SymbolMs),
    ZOLK_FIELD(CarrierSpacing),
    ZOLK_FIELD(TailSymbols),
    ZOLK_FIELD(LeadInSymbols),
    ZOLK_FIELD(LastCarrierBin),
    ZOLK_FIELD(PilotCells),
    ZOLK_FIELD(ReservedCells),
    ZOLK_FIELD(DataCells),
    ZOLK_FIELD(CodedBits),
    ZOLK_FIELD(InfoBits),
    ZOLK_FIELD(InfoBytes),
    ZOLK_FIELD(UserBytes),
    ZOLK_FIELD(NetBitRate),
    ZOLK_FIELD(Throughput),
    Column{"ModeFamily",
           [](int, const ModeRecord& r) { return text(static_cast<int>(r.ModeFamily)); }},
    ZOLK_FIELD(BitsPerCell),
    ZOLK_FIELD(TurboConstraint),
    ZOLK_FIELD(CodeRateIndex),
    ZOLK_FIELD(EncoderKind),
    ZOLK_FIELD(SymbolLimit),
    ZOLK_FIELD(FrameLengthUnits),
    ZOLK_FIELD(OuterParityFraction),
    ZOLK_FIELD(OuterLayout.blocks),
    ZOLK_FIELD(OuterLayout.parityBytesPerBlock),
    ZOLK_FIELD(OuterLayout.dataBytesPerBlock),
    ZOLK_FIELD(OuterLayout.codedBytes),
    ZOLK_FIELD(SnrThreshold),
    ZOLK_FIELD(SnrThresholdAdjusted),
    ZOLK_FIELD(NetBytes),
    ZOLK_FIELD(HeaderSymbols),
    ZOLK_FIELD(CarrierStride),
    ZOLK_FIELD(FirstCarrierBin),
    ZOLK_FIELD(Carriers),
    ZOLK_FIELD(AmplitudeDivisor),
    ZOLK_FIELD(SpeedLevel),
    ZOLK_FIELD(CrestDb),
    ZOLK_FIELD(GuardFraction),
    ZOLK_FIELD(GuardEighths),
    ZOLK_FIELD(ProcessingDelayMs),
    Column{"Checkpoints", [](int, const ModeRecord& r) { return checkpoints(r); }},
    ZOLK_FIELD(QamCorrection),
    ZOLK_FIELD(BinsPerSymbol),
    ZOLK_FIELD(TransformSize),
    ZOLK_FIELD(CrossfadeLength),
    ZOLK_FIELD(BinGroups),
    ZOLK_FIELD(ToneGroups),
    ZOLK_FIELD(FirstToneBin),
    ZOLK_FIELD(LastToneBin),
    ZOLK_FIELD(ToneBins),
    Column{"FftShareMode",
           [](int mode, const ModeRecord&) {
               return text(FftShareMode[static_cast<std::size_t>(mode)]);
           }},
};

#undef ZOLK_FIELD

}  // namespace

int runModes(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "zolk-phy modes: takes no arguments\n";
        return 2;
    }
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        out << (i == 0 ? "" : "\t") << kColumns[i].name;
    }
    out << '\n';
    for (int mode = 0; mode < kModeCount; ++mode) {
        for (std::size_t i = 0; i < kColumns.size(); ++i) {
            out << (i == 0 ? "" : "\t") << kColumns[i].value(mode, modeRecord(mode));
        }
        out << '\n';
    }
    return 0;
}

}  // namespace zolk::phytool
