#include "session/receive_buffer.h"

#include <algorithm>

namespace zolk {

ReceiveBuffer::ReceiveBuffer() : m_bytes(kCapacityBytes), m_flags(kCapacityBytes) {
    m_block.reserve(kCapacityBytes);
}

std::size_t ReceiveBuffer::runLength() const {
    std::size_t offset = 0;
    while (offset < kCapacityBytes && m_flags[position(offset)] != 0) ++offset;
    return offset;
}

bool ReceiveBuffer::storeFrom(std::size_t offset, std::size_t keepFree,
                              std::span<const std::uint8_t> payload) {
    // Offsets run from the read index up to the ring's end; a frame that would reach round to
    // the read index again does not fit, and nothing is stored (never overwrite). The first
    // keepFree free positions stay free; bytes already held are stepped over, never moved.
    const std::size_t needed = keepFree + payload.size();
    std::size_t free = 0;
    std::size_t end = offset;
    for (; end < kCapacityBytes && free < needed; ++end)
        if (m_flags[position(end)] == 0) ++free;
    if (free < needed) return false;
    std::size_t skipped = 0;
    std::size_t next = 0;
    for (std::size_t o = offset; next < payload.size(); ++o) {
        const std::size_t p = position(o);
        if (m_flags[p] != 0) continue;
        if (skipped < keepFree) {
            ++skipped;
            continue;
        }
        m_bytes[p] = payload[next++];
        m_flags[p] = 1;
    }
    m_heldBytes += payload.size();
    return true;
}

bool ReceiveBuffer::storeFirst(std::span<const std::uint8_t> payload) {
    return storeFrom(runLength(), 0, payload);
}

bool ReceiveBuffer::storeSecond(std::span<const std::uint8_t> payload, bool firstStored,
                                std::size_t frame1RoomBytes) {
    return storeFrom(runLength(), firstStored ? 0 : frame1RoomBytes, payload);
}

std::span<const std::uint8_t> ReceiveBuffer::waiting() {
    m_block.clear();
    for (std::size_t offset = 0; offset < kCapacityBytes; ++offset) {
        const std::size_t p = position(offset);
        if (m_flags[p] == 0) break;
        m_block.push_back(m_bytes[p]);
    }
    return m_block;
}

void ReceiveBuffer::consume(std::size_t n) {
    for (std::size_t i = 0; i < n && m_flags[m_readIndex] != 0; ++i) {
        m_flags[m_readIndex] = 0;
        m_readIndex = (m_readIndex + 1) % kCapacityBytes;
        --m_heldBytes;
    }
}

void ReceiveBuffer::dropGaps() {
    const std::size_t run = runLength();
    for (std::size_t offset = run; offset < kCapacityBytes; ++offset) m_flags[position(offset)] = 0;
    m_heldBytes = run;
}

void ReceiveBuffer::clear() {
    std::fill(m_flags.begin(), m_flags.end(), std::uint8_t{0});
    m_readIndex = 0;
    m_heldBytes = 0;
    m_block.clear();
}

}  // namespace zolk
