#include "phy/common/mode_table.h"

namespace zolk {

float adjustedSnrThreshold(float snrDb, int mode) {
    return snrDb - crestLevelOffsetDb(modeRecord(mode).crestDb);
}

}  // namespace zolk
