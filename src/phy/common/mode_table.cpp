#include "phy/common/mode_table.h"

namespace zolk {

float AdjustedSnrThreshold(float snr_db, int mode) {
    return snr_db - (10.0f - modeRecord(mode).CrestDb);
}

}  // namespace zolk
