// receive_buffer.h: the peer's bytes between frame decoding and the host.
// Owns the 50000-byte ring, its occupancy flags and the read index; which frame goes in which
// slot and when bytes go out are the session's decisions, the DataPort is the host side's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zolk {

class ReceiveBuffer {
public:
    static constexpr std::size_t kCapacityBytes = 50000;

    ReceiveBuffer();

    // Stores the payload of frame 1 of a burst, or of its only frame: at the first free position
    // after the bytes waiting at the read index, skipping positions a later frame already holds.
    // Returns false and stores nothing when the ring has no room for it (a host that does not
    // read): the frame then counts as not received.
    bool storeFirst(std::span<const std::uint8_t> payload);
    // Stores the payload of frame 2. With frame 1 of the burst stored it follows frame 1's bytes;
    // without it, frame1RoomBytes free positions (the UserBytes of the burst's mode) stay free for
    // the repeated frame 1, counted past bytes an earlier frame 2 already holds, so the repeat
    // lands in front of frame 2. Same room rule as storeFirst.
    bool storeSecond(std::span<const std::uint8_t> payload, bool firstStored,
                     std::size_t frame1RoomBytes);

    // The bytes ready for the host in order: the occupied run from the read index. The view stays
    // valid until the next call of any non-const method.
    std::span<const std::uint8_t> waiting();
    // The host took the first n bytes of waiting(); the rest stay for the next delivery.
    void consume(std::size_t n);

    // Bytes held (ready or behind a gap).
    std::size_t heldBytes() const { return m_heldBytes; }

    // Forgets the bytes behind a gap and keeps the ones ready for the host (end of a connection).
    void dropGaps();
    // Forgets every byte.
    void clear();

private:
    // End of the occupied run that starts at the read index, as an offset from the read index.
    std::size_t runLength() const;
    bool storeFrom(std::size_t offset, std::size_t keepFree, std::span<const std::uint8_t> payload);
    std::size_t position(std::size_t offset) const {
        return (m_readIndex + offset) % kCapacityBytes;
    }

    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint8_t> m_flags;
    std::size_t m_readIndex = 0;
    std::size_t m_heldBytes = 0;
    std::vector<std::uint8_t> m_block;
};

}  // namespace zolk
