// fatal_release.h: a program that is about to die (an uncaught exception, a crash signal) first
// releases the transmitter, so a failure never leaves a radio keyed. Covers one station at a time.
#pragma once

#include "radio/radio_control.h"

namespace zolk::shell {

// Installs the terminate handler and the crash-signal handlers for radio; nullptr removes the
// station again (before it is destroyed).
void releaseOnFatalError(RadioControl* radio);

}  // namespace zolk::shell
