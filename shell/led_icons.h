// led_icons.h: the status bar's image list, drawn rather than loaded: the LEDs "LedVerde",
// "LedRojo", "LedAmarillo", the warning "ErrorAmarillo", and "Connected", "Terminal", "Subiendo",
// "Descargando". Owns nothing; each call paints a fresh pixmap.
#pragma once

#include <QPixmap>
#include <string_view>

namespace zolk::shell {

// A null pixmap for a key the image list does not hold.
QPixmap statusIcon(std::string_view key, int sizePx = 14);

}  // namespace zolk::shell
