// transmit_buffer.h: the host's bytes from the DataPort until the peer acknowledges them.
// Owns the 150000-byte ring, its occupancy flags and the two frames of the burst on the air; what
// goes into a frame's header and when a frame is released are the session's decisions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zolk {

class TransmitBuffer {
public:
    static constexpr std::size_t kCapacityBytes = 150000;

    TransmitBuffer();

    // Stores bytes in arrival order until the ring is full (the position at the write index still
    // holds a pending byte). Returns how many were taken; the caller keeps the rest for later.
    std::size_t append(std::span<const std::uint8_t> bytes);
    // True when the next byte would find its place still pending.
    bool full() const { return m_flags[m_writeIndex] != 0; }

    // Bytes not yet acknowledged: kept as a count, never recounted over the ring.
    std::size_t pendingBytes() const { return m_pendingBytes; }
    // Bytes the peer's host may not have yet: from the oldest pending byte to the newest, released
    // ones in between included. The peer keeps a frame that came after a lost one until the repeat
    // fills the gap, so such a frame is acknowledged but not yet handed on.
    std::size_t undeliveredBytes() const;

    // Cuts frame 1 of a burst: the oldest min(pending, maxBytes) pending bytes in ring order.
    // The returned view stays valid until the next cut.
    std::span<const std::uint8_t> cutFirstFrame(std::size_t maxBytes);
    // Cuts frame 2: up to maxBytes pending bytes after the ones frame 1 holds.
    std::span<const std::uint8_t> cutSecondFrame(std::size_t maxBytes);
    // Bytes frame 1 or 2 of the last burst carries (0 once released).
    std::size_t frameBytes(int frame) const;
    // Pending bytes after frame 1 (frame = 1) or after both frames (frame = 2) of the last burst.
    std::size_t bytesAfter(int frame) const;

    // The peer acknowledged frame 1 or 2: its bytes stop being pending. A frame is released once;
    // releasing it again does nothing. Returns the bytes released.
    std::size_t release(int frame);

    // Forgets every byte (end of a connection).
    void clear();

private:
    std::size_t oldestPending();
    // Position of the first pending byte after `count` pending bytes counted from `from`.
    std::size_t skipPending(std::size_t from, std::size_t count) const;
    std::span<const std::uint8_t> copyFrame(int frame, std::size_t start, std::size_t count);
    static std::size_t next(std::size_t index) { return index + 1 == kCapacityBytes ? 0 : index + 1; }

    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint8_t> m_flags;
    std::size_t m_writeIndex = 0;
    std::size_t m_pendingBytes = 0;
    // No pending byte lies between the write index and this position in ring order, so the
    // search for the oldest byte starts here instead of going round the whole ring.
    std::size_t m_oldestHint = 0;
    std::array<std::size_t, 2> m_frameStart{};
    std::array<std::size_t, 2> m_frameCount{};
    std::vector<std::uint8_t> m_frame;
};

}  // namespace zolk
