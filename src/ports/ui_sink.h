// ui_sink.h: everything the core shows the operator. The core writes, never reads back.
#pragma once

#include <string_view>

namespace zolk {

class UiSink {
public:
    virtual ~UiSink() = default;
    // Status-bar panels by key ("PTT", "Indicativos", "Baud", "Bytes", "Public", "Listen", "TCP",
    // "Busy"); icon is an image-list key ("LedVerde", "LedRojo", ...) or empty for none.
    virtual void setPanelText(std::string_view key, std::string_view text) = 0;
    virtual void setPanelIcon(std::string_view key, std::string_view icon) = 0;
    virtual void setPanelTip(std::string_view key, std::string_view tip) = 0;
    virtual void setCaption(std::string_view caption) = 0;
    // A modal message box in the desktop shell, a log line when headless.
    virtual void messageBox(std::string_view title, std::string_view text) = 0;
    virtual void appendMonitor(std::string_view text) = 0;
};

}  // namespace zolk
