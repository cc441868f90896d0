// window_layout.h: the main window's fixed figures: status-bar panels, menu captions, tool tips,
// and where the views put the waterfall and the indicator boxes. Read-only; the shell draws them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "ports/ui_sink.h"

namespace zolk {

enum class PanelAlignment : std::uint8_t { Left = 0, Right = 2 };

struct StatusPanel {
    std::string_view key;
    std::string_view initialText;
    std::int32_t widthTwips;
    bool inset;  // bevel 1; otherwise none
    PanelAlignment alignment;
    bool autoSize;
};

// In the order the panels are added at start-up.
inline constexpr std::array<StatusPanel, 9> kStatusPanels{{
    {"Margen1", "", 70, false, PanelAlignment::Left, true},
    {"PTT", "", 700, true, PanelAlignment::Left, false},
    {"Indicativos", "", 3350, true, PanelAlignment::Left, false},
    {"Baud", "", 1150, true, PanelAlignment::Left, false},
    {"Bytes", "", 1800, true, PanelAlignment::Left, false},
    {"Public", "", 1000, true, PanelAlignment::Right, false},
    {"Listen", "LISTEN", 1000, true, PanelAlignment::Right, false},
    {"TCP", "TCP", 750, true, PanelAlignment::Right, false},
    {"Busy", "BUSY", 850, true, PanelAlignment::Right, false},
}};

enum class TopMenu : std::uint8_t { Settings, Help };

struct MenuEntry {
    MenuItem item;
    std::string_view controlName;
    std::string_view caption;  // the Log item shows LogCaption instead
    TopMenu topMenu;
};

// Indexed by MenuItem.
inline constexpr std::array<MenuEntry, kMenuItemCount> kMenuEntries{{
    {MenuItem::Setup, "mnuSetup", "ZOLK Setup...", TopMenu::Settings},
    {MenuItem::SoundCard, "mnuSoundCard", "SoundCard...", TopMenu::Settings},
    {MenuItem::Ptt, "mnuPTT", "PTT...", TopMenu::Settings},
    {MenuItem::WaterfallOn, "mnuWaterFallON", "ON", TopMenu::Settings},
    {MenuItem::WaterfallOff, "mnuWaterFallOFF", "OFF", TopMenu::Settings},
    {MenuItem::WaterfallAuto, "mnuWaterFallAuto", "Auto", TopMenu::Settings},
    {MenuItem::Calibrate, "mnuCal", "Calibrate", TopMenu::Settings},
    {MenuItem::ViewAll, "mnuViewALL", "Gauges+Waterfall+Diagrams", TopMenu::Settings},
    {MenuItem::ViewWaterfall, "mnuViewWaterfall", "Gauges+Waterfall", TopMenu::Settings},
    {MenuItem::ViewGauges, "mnuViewGauges", "Gauges only", TopMenu::Settings},
    {MenuItem::Log, "mnuLog", "Log", TopMenu::Help},
    {MenuItem::Monitor, "mnuMonitor", "Monitor", TopMenu::Settings},
    {MenuItem::MonitorOn, "mnuMonitorON", "ON", TopMenu::Settings},
    {MenuItem::MonitorOff, "mnuMonitorOFF", "OFF", TopMenu::Settings},
    {MenuItem::MonitorClear, "mnuMonitorClear", "Clear", TopMenu::Settings},
    {MenuItem::Guide, "mnuGuide", "ZOLK Quick Guide", TopMenu::Help},
    {MenuItem::About, "mnuAbout", "About...", TopMenu::Help},
}};

constexpr const MenuEntry& menuEntry(MenuItem item) { return kMenuEntries[static_cast<std::size_t>(item)]; }

struct DisplayTip {
    std::string_view controlName;
    std::string_view tip;
};

inline constexpr std::array<DisplayTip, 7> kDisplayTips{{
    {"pctVumetro", "Audio Input Level"},
    {"pctCPU", "CPU Usage"},
    {"pctOffsetFrecuencia", "Automatic Frequency Control"},
    {"pctRelacionSN", "S/N @ 2500Hz"},
    {"chartVelocidad", "Baud Rate Plot"},
    {"pctConstelacion", "Constellation diagram"},
    {"pctWaterfall", "Waterfall (0-3000 Hz)"},
}};

struct ViewLayout {
    std::int32_t windowHeightTwips;
    std::int32_t waterfallTopTwips;
    bool waterfallVisible;
    bool chartAndConstellationVisible;
    MenuItem checkedItem;
};

// ViewMode 1 (all), 2 (gauges and waterfall) or 3 (gauges only); any other value is shown as 1.
ViewLayout viewLayout(std::uint8_t viewMode, std::int32_t waterfallHeightTwips);

// Whether the waterfall is drawn, so that the receiver hands it the samples: WaterFall 1 (on) or 2
// (auto: only while a session is active), in a view that has a waterfall, in a window not minimised.
bool waterfallShown(std::uint8_t waterfallMode, std::uint8_t viewMode, bool windowMinimised, bool sessionActive);

// Tops of the indicator boxes and gauges, placed relative to the waterfall top.
struct IndicatorTops {
    std::int32_t data;   // txtData
    std::int32_t ack;    // txtACK, and txtStart level with it
    std::int32_t nack;   // txtNACK, and txtBreak
    std::int32_t req;    // TxtREQ, and txtQRT
    std::int32_t meter;  // txtVU, and txtCPU, txtAFC, txtSN
    std::int32_t gauge;  // the four round gauges
};

IndicatorTops indicatorTops(std::int32_t waterfallTopTwips, std::int32_t meterBoxHeightTwips,
                            std::int32_t gaugeHeightTwips);

}  // namespace zolk
