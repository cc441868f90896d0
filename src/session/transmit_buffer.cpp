#include "session/transmit_buffer.h"

#include <algorithm>
#include <stdexcept>

namespace zolk {
namespace {

std::size_t slotOf(int frame) {
    if (frame != 1 && frame != 2) throw std::invalid_argument("a burst has frames 1 and 2 only");
    return static_cast<std::size_t>(frame - 1);
}

}  // namespace

TransmitBuffer::TransmitBuffer() : m_bytes(kCapacityBytes), m_flags(kCapacityBytes) {}

std::size_t TransmitBuffer::append(std::span<const std::uint8_t> bytes) {
    std::size_t taken = 0;
    for (const std::uint8_t byte : bytes) {
        if (m_pendingBytes == 0) {
            m_oldestHint = m_writeIndex;
        } else if (m_writeIndex == m_oldestHint) {
            // The writer caught up with the hint: move it on to the real oldest byte first, so
            // the hint never points at a byte newer than the oldest one.
            oldestPending();
        }
        if (full()) break;
        m_bytes[m_writeIndex] = byte;
        m_flags[m_writeIndex] = 1;
        m_writeIndex = next(m_writeIndex);
        ++m_pendingBytes;
        ++taken;
    }
    return taken;
}

std::size_t TransmitBuffer::oldestPending() {
    if (m_pendingBytes == 0) {
        m_oldestHint = m_writeIndex;
        return m_oldestHint;
    }
    while (m_flags[m_oldestHint] == 0) m_oldestHint = next(m_oldestHint);
    return m_oldestHint;
}

std::size_t TransmitBuffer::undeliveredBytes() const {
    if (m_pendingBytes == 0) return 0;
    std::size_t oldest = m_oldestHint;
    while (m_flags[oldest] == 0) oldest = next(oldest);
    return oldest < m_writeIndex ? m_writeIndex - oldest : kCapacityBytes - oldest + m_writeIndex;
}

std::size_t TransmitBuffer::skipPending(std::size_t from, std::size_t count) const {
    std::size_t index = from;
    while (count > 0) {
        if (m_flags[index] != 0) --count;
        index = next(index);
    }
    return index;
}

std::span<const std::uint8_t> TransmitBuffer::copyFrame(int frame, std::size_t start,
                                                        std::size_t count) {
    const std::size_t slot = slotOf(frame);
    m_frameStart[slot] = start;
    m_frameCount[slot] = count;
    m_frame.clear();
    std::size_t index = start;
    while (m_frame.size() < count) {
        if (m_flags[index] != 0) m_frame.push_back(m_bytes[index]);
        index = next(index);
    }
    return m_frame;
}

std::span<const std::uint8_t> TransmitBuffer::cutFirstFrame(std::size_t maxBytes) {
    const std::size_t count = std::min(m_pendingBytes, maxBytes);
    return copyFrame(1, oldestPending(), count);
}

std::span<const std::uint8_t> TransmitBuffer::cutSecondFrame(std::size_t maxBytes) {
    const std::size_t first = m_frameCount[0];
    const std::size_t count = std::min(m_pendingBytes - first, maxBytes);
    const std::size_t start = first == 0 ? oldestPending() : skipPending(m_frameStart[0], first);
    return copyFrame(2, start, count);
}

std::size_t TransmitBuffer::frameBytes(int frame) const { return m_frameCount[slotOf(frame)]; }

std::size_t TransmitBuffer::bytesAfter(int frame) const {
    const std::size_t carried = frame == 1 ? m_frameCount[0] : m_frameCount[0] + m_frameCount[1];
    return m_pendingBytes - std::min(carried, m_pendingBytes);
}

std::size_t TransmitBuffer::release(int frame) {
    const std::size_t slot = slotOf(frame);
    const std::size_t count = m_frameCount[slot];
    std::size_t left = count;
    for (std::size_t index = m_frameStart[slot]; left > 0; index = next(index)) {
        if (m_flags[index] == 0) continue;
        m_flags[index] = 0;
        --left;
    }
    m_pendingBytes -= count;
    m_frameCount[slot] = 0;
    return count;
}

void TransmitBuffer::clear() {
    std::fill(m_flags.begin(), m_flags.end(), std::uint8_t{0});
    m_writeIndex = 0;
    m_pendingBytes = 0;
    m_oldestHint = 0;
    m_frameCount = {};
    m_frameStart = {};
}

}  // namespace zolk
