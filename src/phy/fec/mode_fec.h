// mode_fec.h: the turbo codec wired to the speed modes: each mode's figures and tables, and the
// decoder that frame acceptance drives. Owns the decoder state; the tables belong to start-up.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"
#include "phy/fec/fec_config.h"
#include "phy/fec/frame_fec_decoder.h"
#include "phy/fec/turbo_decoder.h"

namespace zolk {

// The largest frame any mode sends, for buffers sized once.
inline constexpr int kMaxModeInfoBits = [] {
    int most = 0;
    for (const ModeRecord& r : kModeTable) most = std::max(most, static_cast<int>(r.infoBits));
    return most;
}();
inline constexpr int kMaxModeCodedBits = [] {
    int most = 0;
    for (const ModeRecord& r : kModeTable) most = std::max(most, static_cast<int>(r.codedBits));
    return most;
}();

// The codec configuration of `mode` (TurboConstraint, CodeRateIndex, InfoBits, CodedBits, both
// interleavers of the tables file and the whitening bits). The spans view `tables` and
// `pseudoRandomBits`, which must outlive the result.
FecConfig fecConfigForMode(int mode, const TablesFile& tables,
                           std::span<const std::uint8_t> pseudoRandomBits);

// FEC steps 1..9 of the frame being decoded, in the mode given at step 1.
class ModeTurboDecoder final : public FrameFecDecoder {
public:
    ModeTurboDecoder(const TablesFile& tables, std::span<const std::uint8_t> pseudoRandomBits);

    // Step 1 sets the decoder up for `mode` from CodedBits soft values; steps 2..9 iterate and
    // step 9 then fills the frame bytes. Other step numbers, and the mode and soft values after
    // step 1, are ignored.
    void fecStep(int step, int mode, std::span<const float> softValues) override;
    // NetBytes bytes of the mode set up at step 1; complete after step 9.
    std::span<const std::uint8_t> frameBytes() const override;

    const TurboDecoder& decoder() const { return m_decoder; }

private:
    const TablesFile& m_tables;
    std::span<const std::uint8_t> m_pseudoRandomBits;
    TurboDecoder m_decoder;
    std::vector<std::uint8_t> m_frameBytes;
    int m_netBytes = 0;
};

}  // namespace zolk
