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
    for (const auto c : r.checkpoints) {
        joined += (joined.empty() ? "" : ",") + std::to_string(c);
    }
    return joined;
}

// The header keeps the column names that scripts reading this output rely on.
#define ZOLK_FIELD(name, field) \
    Column { name, [](int, const ModeRecord& r) { return text(r.field); } }

// The derived figures first, then every other field in record order.
const std::array kColumns{
    Column{"ModeIndex", [](int mode, const ModeRecord&) { return text(mode); }},
    ZOLK_FIELD("SymbolLength", symbolLength),
    ZOLK_FIELD("GuardLength", guardLength),
    ZOLK_FIELD("SymbolMs", symbolMs),
    ZOLK_FIELD("CarrierSpacing", carrierSpacing),
    ZOLK_FIELD("TailSymbols", tailSymbols),
    ZOLK_FIELD("LeadInSymbols", leadInSymbols),
    ZOLK_FIELD("LastCarrierBin", lastCarrierBin),
    ZOLK_FIELD("PilotCells", pilotCells),
    ZOLK_FIELD("ReservedCells", reservedCells),
    ZOLK_FIELD("DataCells", dataCells),
    ZOLK_FIELD("CodedBits", codedBits),
    ZOLK_FIELD("InfoBits", infoBits),
    ZOLK_FIELD("InfoBytes", infoBytes),
    ZOLK_FIELD("UserBytes", userBytes),
    ZOLK_FIELD("NetBitRate", netBitRate),
    ZOLK_FIELD("Throughput", throughput),
    Column{"ModeFamily",
           [](int, const ModeRecord& r) { return text(static_cast<int>(r.modeFamily)); }},
    ZOLK_FIELD("BitsPerCell", bitsPerCell),
    ZOLK_FIELD("TurboConstraint", turboConstraint),
    ZOLK_FIELD("CodeRateIndex", codeRateIndex),
    ZOLK_FIELD("EncoderKind", encoderKind),
    ZOLK_FIELD("SymbolLimit", symbolLimit),
    ZOLK_FIELD("FrameLengthUnits", frameLengthUnits),
    ZOLK_FIELD("OuterParityFraction", outerParityFraction),
    ZOLK_FIELD("OuterLayout.blocks", outerLayout.blocks),
    ZOLK_FIELD("OuterLayout.parityBytesPerBlock", outerLayout.parityBytesPerBlock),
    ZOLK_FIELD("OuterLayout.dataBytesPerBlock", outerLayout.dataBytesPerBlock),
    ZOLK_FIELD("OuterLayout.codedBytes", outerLayout.codedBytes),
    ZOLK_FIELD("SnrThreshold", snrThreshold),
    ZOLK_FIELD("SnrThresholdAdjusted", snrThresholdAdjusted),
    ZOLK_FIELD("NetBytes", netBytes),
    ZOLK_FIELD("HeaderSymbols", headerSymbols),
    ZOLK_FIELD("CarrierStride", carrierStride),
    ZOLK_FIELD("FirstCarrierBin", firstCarrierBin),
    ZOLK_FIELD("Carriers", carriers),
    ZOLK_FIELD("AmplitudeDivisor", amplitudeDivisor),
    ZOLK_FIELD("SpeedLevel", speedLevel),
    ZOLK_FIELD("CrestDb", crestDb),
    ZOLK_FIELD("GuardFraction", guardFraction),
    ZOLK_FIELD("GuardEighths", guardEighths),
    ZOLK_FIELD("ProcessingDelayMs", processingDelayMs),
    Column{"Checkpoints", [](int, const ModeRecord& r) { return checkpoints(r); }},
    ZOLK_FIELD("QamCorrection", qamCorrection),
    ZOLK_FIELD("BinsPerSymbol", binsPerSymbol),
    ZOLK_FIELD("TransformSize", transformSize),
    ZOLK_FIELD("CrossfadeLength", crossfadeLength),
    ZOLK_FIELD("BinGroups", binGroups),
    ZOLK_FIELD("ToneGroups", toneGroups),
    ZOLK_FIELD("FirstToneBin", firstToneBin),
    ZOLK_FIELD("LastToneBin", lastToneBin),
    ZOLK_FIELD("ToneBins", toneBins),
    Column{"FftShareMode",
           [](int mode, const ModeRecord&) {
               return text(kFftShareMode[static_cast<std::size_t>(mode)]);
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
