#include "sim/station_pair.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <stdexcept>

namespace zolk::sim {
namespace {

constexpr std::size_t kHostWriteBytes = 4096;  // what a host program writes at a time
constexpr std::chrono::milliseconds kSettle{1500};  // start-up fills the playback queue first

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

ChannelSettings channelOf(const LinkSettings& link, std::uint64_t direction) {
    return ChannelSettings{.delayMs = link.delayMs,
                           .offsetHz = link.offsetHz,
                           .driftHzPerS = link.driftHzPerS,
                           .clockPpm = link.clockPpm,
                           .fading = link.fading,
                           .seed = link.seed * 2 + direction};
}

}  // namespace

StationPair::StationPair(const std::filesystem::path& folder, const LinkSettings& link, std::string callA,
                         std::string callB, std::array<UiSink*, 2> windows)
    : m_calls{std::move(callA), std::move(callB)} {
    for (std::size_t i = 0; i < 2; ++i) {
        const char* name = i == 0 ? "a" : "b";
        std::filesystem::create_directories(folder / name);
        SimStation& s = m_harness.addStation(folder / name, windows[i]);
        s.recordAir(false);
        if (!s.station().start()) throw std::runtime_error(std::string("station ") + name + " did not start");
        m_stations.push_back(&s);
    }
    const ErasureRule rules[2] = {link.eraseFromA, link.eraseFromB};
    for (std::size_t from = 0; from < 2; ++from) {
        SimStation& sender = *m_stations[from];
        SimStation& receiver = *m_stations[1 - from];
        auto path = std::make_unique<AirPath>(sender.station(), receiver.station(), channelOf(link, from),
                                              link.snrDb, rules[from]);
        m_paths.push_back(path.get());
        m_harness.connect(sender, receiver, std::move(path));
    }
    for (SimStation* s : m_stations) {
        m_harness.hostConnects(*s, HostSocket::Command);
        m_harness.hostConnects(*s, HostSocket::Data);
    }
    m_harness.runFor(kSettle);
    command(Side::A, "MYCALL " + m_calls[0]);
    command(Side::B, "MYCALL " + m_calls[1]);
    command(Side::B, "LISTEN ON");
}

void StationPair::command(Side side, std::string_view line) {
    m_harness.hostSends(station(side), HostSocket::Command, bytesOf(std::string(line) + "\r"));
    collect(index(side));
}

void StationPair::send(Side side, std::span<const std::uint8_t> bytes) {
    m_outgoing[index(side)].insert(m_outgoing[index(side)].end(), bytes.begin(), bytes.end());
    feedHost(index(side));
}

void StationPair::hostCloses(Side side) {
    m_outgoing[index(side)].clear();
    m_harness.hostCloses(station(side), HostSocket::Data);
    m_harness.hostCloses(station(side), HostSocket::Command);
    collect(index(side));
}

void StationPair::setSnrDb(std::optional<double> snrDb) {
    for (AirPath* path : m_paths) path->setSnrDb(snrDb);
}

void StationPair::runFor(double seconds) {
    const SampleTime end = m_harness.now() + static_cast<SampleTime>(seconds * kSampleRate);
    while (m_harness.now() < end) step();
}

bool StationPair::runUntil(const std::function<bool()>& done, double limitS) {
    const SampleTime end = m_harness.now() + static_cast<SampleTime>(limitS * kSampleRate);
    while (!done()) {
        if (m_harness.now() >= end) return false;
        step();
    }
    return true;
}

void StationPair::step() {
    m_harness.runBlocks(1);
    for (std::size_t s = 0; s < 2; ++s) {
        feedHost(s);
        collect(s);
    }
}

void StationPair::feedHost(std::size_t s) {
    auto& outgoing = m_outgoing[s];
    SimStation& st = *m_stations[s];
    // TCP holds a host back while the modem does not read the DataPort.
    while (!outgoing.empty() && st.hostLink().connected(HostSocket::Data) && !st.hostLink().readingHeld(HostSocket::Data)) {
        const std::size_t n = std::min(outgoing.size(), kHostWriteBytes);
        const std::vector<std::uint8_t> chunk(outgoing.begin(), outgoing.begin() + static_cast<std::ptrdiff_t>(n));
        outgoing.erase(outgoing.begin(), outgoing.begin() + static_cast<std::ptrdiff_t>(n));
        m_harness.hostSends(st, HostSocket::Data, chunk);
        m_views[s].handedOver += n;
    }
}

void StationPair::collect(std::size_t s) {
    HostView& view = m_views[s];
    const RecordingHostLink& link = m_stations[s]->hostLink();
    const double now = nowS();
    const auto& data = link.sent(HostSocket::Data);
    if (data.size() > view.received.size()) {
        view.received.insert(view.received.end(), data.begin() + static_cast<std::ptrdiff_t>(view.received.size()),
                             data.end());
        view.lastByteS = now;
    }
    const auto& text = link.sent(HostSocket::Command);
    for (; m_replyBytesSeen[s] < text.size(); ++m_replyBytesSeen[s]) {
        const char c = static_cast<char>(text[m_replyBytesSeen[s]]);
        if (c != '\r') {
            m_partialLine[s] += c;
            continue;
        }
        const std::string line = std::move(m_partialLine[s]);
        m_partialLine[s].clear();
        if (line.starts_with("CONNECTED ") && !view.connectedS) view.connectedS = now;
        if (line == "DISCONNECTED" && !view.disconnectedS) view.disconnectedS = now;
        if (line.starts_with("BUFFER ")) {
            std::size_t n = 0;
            const char* first = line.data() + 7;
            const char* last = line.data() + line.size();
            if (std::from_chars(first, last, n).ptr == last) view.lastBuffer = n;
        }
        view.replies.push_back({now, line});
    }
}

}  // namespace zolk::sim
