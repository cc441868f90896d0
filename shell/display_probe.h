// display_probe.h: whether the X display named in the environment can be opened, asked before Qt
// starts (Qt ends the program when it cannot open its display). Owns no state.
#pragma once

#include <QByteArray>

namespace zolk::shell {

bool x11DisplayOpens(const QByteArray& display);

}  // namespace zolk::shell
