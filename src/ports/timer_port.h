// timer_port.h: the core's view of the main window's eleven timers and the PTT safety limit.
// The shell runs them (periodic until stopped); the core starts, stops and handles their ticks.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace zolk {

enum class TimerId : std::uint8_t {
    DelayPtt,               // tmrDelayPTT
    ActivarPttZolk,         // tmrActivarPTTZOLK
    LanzarDatos,            // tmrLanzarDatos
    Desconectar,            // tmrDesconectar
    BusyOff,                // tmrBusyOFF
    RecargarTarjetaSonido,  // tmrRecargarTarjetaSonido
    RefrescoVumetro,        // tmrRefrescoVumetro
    RefrescoCpu,            // tmrRefrescoCPU
    BorrarConstelacion,     // tmrBorrarConstelacion
    ServidorZolk,           // tmrServidorZOLK
    RefrescarServidor,      // tmrRefrescarServidor
    PttSafety,              // tmrPttSafety: releases a transmitter held too long
};
inline constexpr std::size_t kTimerCount = 12;

// The window's control names, indexed by TimerId; logs and the shell use them.
inline constexpr std::array<std::string_view, kTimerCount> kTimerNames{
    "tmrDelayPTT",          "tmrActivarPTTZOLK",        "tmrLanzarDatos",
    "tmrDesconectar",       "tmrBusyOFF",               "tmrRecargarTarjetaSonido",
    "tmrRefrescoVumetro",   "tmrRefrescoCPU",           "tmrBorrarConstelacion",
    "tmrServidorZOLK",      "tmrRefrescarServidor",     "tmrPttSafety",
};

constexpr std::string_view timerName(TimerId id) { return kTimerNames[static_cast<std::size_t>(id)]; }

// The interval each timer runs with, indexed by TimerId.
inline constexpr std::array<std::chrono::milliseconds, kTimerCount> kTimerIntervals{
    std::chrono::milliseconds{10},    std::chrono::milliseconds{1},     std::chrono::milliseconds{1},
    std::chrono::milliseconds{30000}, std::chrono::milliseconds{2000},  std::chrono::milliseconds{10000},
    std::chrono::milliseconds{100},   std::chrono::milliseconds{100},   std::chrono::milliseconds{9000},
    std::chrono::milliseconds{30000}, std::chrono::milliseconds{60000}, std::chrono::milliseconds{60000},
};

constexpr std::chrono::milliseconds timerInterval(TimerId id) {
    return kTimerIntervals[static_cast<std::size_t>(id)];
}

class TimerPort {
public:
    virtual ~TimerPort() = default;
    // Sets the interval and enables the timer; starting a running timer restarts its interval.
    virtual void start(TimerId id, std::chrono::milliseconds interval) = 0;
    virtual void stop(TimerId id) = 0;
};

}  // namespace zolk
