#include "phy/common/mode_table.h"

namespace zolk {

float adjustedSnrThreshold(float snrDb, int mode) {
    return snrDb - (10.0f - modeRecord(mode).crestDb);
}

}  // namespace zolk
