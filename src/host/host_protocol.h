// host_protocol.h: the CommandPort text protocol: line assembly, the commands and their replies.
// Owns CommandBuffer, MyCalls with their seeds, the link's call signs, ListenMode and PublicFlag;
// what a command sets in motion elsewhere goes through HostLinks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/host_links.h"
#include "ports/host_link_port.h"
#include "ports/ui_sink.h"

namespace zolk {

class HostProtocol {
public:
    // Longest command held while waiting for its carriage return. A longer line is dropped and
    // answered "WRONG". Each line runs when its carriage return arrives; a line feed right after
    // it is dropped (hosts that end lines with CR LF), a line feed anywhere else is line content.
    static constexpr std::size_t kCommandBufferLimit = 4096;

    HostProtocol(HostLinkPort& link, UiSink& ui, HostLinks links);

    // One chunk received on the CommandPort.
    void onCommandBytes(std::span<const std::uint8_t> bytes);
    // Forgets a partly received line; the CommandPort is re-armed for a new host.
    void clearCommandBuffer();
    // Bytes waiting for their carriage return; never much above kCommandBufferLimit.
    std::size_t heldBytes() const { return m_commandBuffer.size(); }

    // Slot 1 at index 0; empty slots hold empty text.
    const std::array<std::string, kMyCallSlots>& myCalls() const { return m_myCalls; }
    const SlotSeeds& slotSeeds() const { return m_slotSeeds; }
    const std::string& sourceCall() const { return m_sourceCall; }
    const std::string& destinationCall() const { return m_destinationCall; }
    // An incoming call names its caller here (identification frame).
    void setSourceCall(std::string_view call) { m_sourceCall = call; }
    bool listenMode() const { return m_listenMode; }
    // Sets ListenMode and shows it in panel "Listen".
    void setListenMode(bool on);
    std::uint8_t publicFlag() const { return m_publicFlag; }

private:
    void runHeldLines();
    void execute(std::string_view line);
    void connectCommand(std::string_view line);
    void myCallCommand(std::string_view line);
    void calibrateCommand(std::string_view line);

    HostLinkPort& m_link;
    UiSink& m_ui;
    HostLinks m_links;

    std::string m_commandBuffer;
    bool m_droppingLine = false;  // inside a line longer than kCommandBufferLimit
    bool m_afterCarriageReturn = false;  // the last byte was a line's end
    std::array<std::string, kMyCallSlots> m_myCalls;
    SlotSeeds m_slotSeeds{};
    std::string m_sourceCall;
    std::string m_destinationCall;
    bool m_listenMode = false;
    std::uint8_t m_publicFlag = 0;
};

}  // namespace zolk
