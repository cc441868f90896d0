// Bytes a host sends on the CommandPort, cut into chunks as TCP may deliver them.
// The first input byte chooses the chunk size (1 to 64 bytes) and whether a link is in progress.
// Checks: the command buffer stays bounded, every answer is a whole line, and the chunking changes
// nothing a host can see: the same bytes sent in one chunk give the same answers and effects.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "host/host_protocol.h"
#include "sim/recording_host_link.h"
#include "sim/recording_ui.h"
#include "support/recording_links.h"

namespace {

struct Outcome {
    std::string answers;
    std::vector<std::string> effects;
    std::string transmitBuffer;
    std::array<std::string, zolk::kMyCallSlots> myCalls;
    std::string sourceCall;
    std::string destinationCall;
    bool listenMode = false;
};

Outcome feed(std::span<const std::uint8_t> bytes, std::size_t chunk, bool linkInProgress) {
    zolk::sim::RecordingHostLink link;
    link.setConnected(zolk::HostSocket::Command, true);
    link.setConnected(zolk::HostSocket::Data, true);
    zolk::sim::RecordingUi ui;
    zolk::test::RecordingLinks links;
    links.sessionInProgress = linkInProgress;
    zolk::HostProtocol protocol(link, ui, links.links());
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        protocol.onCommandBytes(bytes.subspan(at, std::min(chunk, bytes.size() - at)));
        if (protocol.heldBytes() > zolk::HostProtocol::kCommandBufferLimit + 1) std::abort();
    }
    // A final carriage return runs whatever is still held, so every byte has had its effect.
    const std::uint8_t carriageReturn = '\r';
    protocol.onCommandBytes(std::span(&carriageReturn, 1));
    if (protocol.heldBytes() != 0) std::abort();
    const std::string answers = link.sentText(zolk::HostSocket::Command);
    if (!answers.empty() && answers.back() != '\r') std::abort();
    return {answers,
            links.effects,
            links.transmitBuffer,
            protocol.myCalls(),
            protocol.sourceCall(),
            protocol.destinationCall(),
            protocol.listenMode()};
}

bool operator==(const Outcome& a, const Outcome& b) {
    return a.answers == b.answers && a.effects == b.effects && a.transmitBuffer == b.transmitBuffer &&
           a.myCalls == b.myCalls && a.sourceCall == b.sourceCall &&
           a.destinationCall == b.destinationCall && a.listenMode == b.listenMode;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + (data[0] & 0x3f);
    const bool linkInProgress = (data[0] & 0x40) != 0;
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    const Outcome chunked = feed(bytes, chunk, linkInProgress);
    const Outcome whole = feed(bytes, bytes.size() + 1, linkInProgress);
    if (!(chunked == whole)) std::abort();
    return 0;
}
