#include "app/frame_display.h"

#include <string>

#include "phy/common/mode_table.h"

namespace zolk {

void showFrame(UiSink& ui, const FrameVerdict& verdict) {
    const ModeRecord& record = modeRecord(verdict.mode);
    const FrameDisplay& display = verdict.display;
    if (display.rateHeard) {
        ui.setPanelText("Baud", "(" + std::to_string(record.speedLevel) + ")  " +
                                    std::to_string(record.netBitRate) + " bps");
        ui.setPanelTip("Baud", "Baud Rate");
    }
    if (!display.gauges) return;
    ui.showSnr(verdict.snrDb);
    if (display.afcMoved) ui.showAfc(display.afcHz);
    const PlotColour colour = verdict.good ? PlotColour::SnrRating : PlotColour::White;
    if (record.modeFamily == Family::MultiCarrier) {
        ui.plotCells(display.cells, display.bitsPerCell, colour);
    } else {
        ui.plotSoftValues(display.softValues, colour);
    }
}

}  // namespace zolk
