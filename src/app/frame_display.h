// frame_display.h: what the window shows of a decoded frame: the S/N and AFC gauges, the
// constellation (cells of the multi-carrier modes, soft values of the robust ones) and, for a
// monitored frame, the "Baud" panel with its mode's rate.
#pragma once

#include "phy/rx/frame_acceptance.h"
#include "ports/ui_sink.h"

namespace zolk {

void showFrame(UiSink& ui, const FrameVerdict& verdict);

}  // namespace zolk
