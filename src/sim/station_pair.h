// station_pair.h: two stations joined by the satellite path both ways, each with a host program
// that drives it as a real one does: commands and DataPort bytes in (held back while the modem
// holds the DataPort), replies and received bytes out, each reply stamped with its virtual time.
// Owns the harness, both stations, both paths and what each host saw.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/air_path.h"
#include "sim/harness.h"

namespace zolk::sim {

// The path both ways: the same channel each way, each with its own noise and fading draws.
struct LinkSettings {
    double delayMs = 300.0;  // one way
    double offsetHz = 0.0;
    double driftHzPerS = 0.0;
    double clockPpm = 0.0;
    std::optional<FadingSettings> fading = std::nullopt;
    std::optional<double> snrDb = std::nullopt;  // no noise without it
    std::uint64_t seed = 1;
    ErasureRule eraseFromA = nullptr;
    ErasureRule eraseFromB = nullptr;
};

enum class Side : std::uint8_t { A = 0, B = 1 };

struct HostReply {
    double timeS;  // virtual seconds since the pair was built
    std::string line;
};

// What one host program saw.
struct HostView {
    std::vector<HostReply> replies;
    std::vector<std::uint8_t> received;
    std::optional<double> connectedS;     // first CONNECTED
    std::optional<double> disconnectedS;  // first DISCONNECTED after it (or after the call)
    std::optional<double> lastByteS;      // when the last received byte so far arrived
    std::optional<std::size_t> lastBuffer;  // the number in the last BUFFER reply
    std::size_t handedOver = 0;           // DataPort bytes the modem took
};

class StationPair {
public:
    // Station folders go under folder (created). Starts both stations with both host ports
    // connected, lets the sound cards settle, gives each its call and sets B listening.
    // Throws std::runtime_error when a station does not start, std::invalid_argument for a path
    // the channel refuses. A station with a window in windows (by Side) draws on it from its start
    // on, besides its recording.
    StationPair(const std::filesystem::path& folder, const LinkSettings& link,
                std::string callA = "EA5ABC", std::string callB = "N0CALL",
                std::array<UiSink*, 2> windows = {});

    Harness& harness() { return m_harness; }
    SimStation& station(Side side) { return *m_stations[index(side)]; }
    const HostView& host(Side side) const { return m_views[index(side)]; }
    const AirPath& pathFrom(Side side) const { return *m_paths[index(side)]; }
    const std::string& call(Side side) const { return m_calls[index(side)]; }
    double nowS() const { return toMs(m_harness.now()) / 1000.0; }

    // A command line from the host (the CR is added).
    void command(Side side, std::string_view line);
    // A: CONNECT to B.
    void callB() { command(Side::A, "CONNECT " + m_calls[0] + " " + m_calls[1]); }
    // Bytes the host program writes to the DataPort: handed over as the modem reads.
    void send(Side side, std::span<const std::uint8_t> bytes);
    std::size_t notHandedOver(Side side) const { return m_outgoing[index(side)].size(); }
    // The host program closes both its ports.
    void hostCloses(Side side);
    // Both directions; for the audio sent from now on.
    void setSnrDb(std::optional<double> snrDb);

    void runFor(double seconds);
    // Runs until done() holds or limitS virtual seconds have passed; false in the second case.
    bool runUntil(const std::function<bool()>& done, double limitS);

private:
    static std::size_t index(Side side) { return static_cast<std::size_t>(side); }
    void step();
    void feedHost(std::size_t s);
    void collect(std::size_t s);

    Harness m_harness;
    std::vector<SimStation*> m_stations;
    std::vector<AirPath*> m_paths;
    std::string m_calls[2];
    HostView m_views[2];
    std::deque<std::uint8_t> m_outgoing[2];
    std::size_t m_replyBytesSeen[2] = {0, 0};
    std::string m_partialLine[2];
};

}  // namespace zolk::sim
