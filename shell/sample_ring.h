// sample_ring.h: a lock-free ring of 16-bit samples between the sound driver's thread and the
// main thread. Owns its storage and both positions; exactly one writer and one reader.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace zolk::shell {

class SampleRing {
public:
    explicit SampleRing(std::size_t capacity) : m_samples(capacity) {}

    std::size_t capacity() const { return m_samples.size(); }
    // Samples written and not yet read or discarded, as the writer sees it: space freed by the
    // reader shows only after the reader has run.
    std::size_t size() const {
        return static_cast<std::size_t>(m_written.load(std::memory_order_acquire) -
                                        m_read.load(std::memory_order_acquire));
    }

    // Writer: copies as many samples as fit and returns how many.
    std::size_t write(std::span<const std::int16_t> samples) {
        const std::uint64_t written = m_written.load(std::memory_order_relaxed);
        const std::uint64_t read = m_read.load(std::memory_order_acquire);
        const std::size_t count = std::min(samples.size(), capacity() - static_cast<std::size_t>(written - read));
        for (std::size_t i = 0; i < count; ++i) m_samples[(written + i) % capacity()] = samples[i];
        m_written.store(written + count, std::memory_order_release);
        return count;
    }

    // Writer: everything written so far is to be dropped; the reader skips it on its next read.
    void discardWritten() {
        m_discardTo.store(m_written.load(std::memory_order_relaxed), std::memory_order_release);
    }

    // Reader: skips what the writer discarded, then copies up to out.size() samples; returns how many.
    std::size_t read(std::span<std::int16_t> out) {
        std::uint64_t read = std::max(m_read.load(std::memory_order_relaxed),
                                      m_discardTo.load(std::memory_order_acquire));
        const std::uint64_t written = m_written.load(std::memory_order_acquire);
        const std::size_t count = std::min(out.size(), static_cast<std::size_t>(written - read));
        for (std::size_t i = 0; i < count; ++i) out[i] = m_samples[(read + i) % capacity()];
        m_read.store(read + count, std::memory_order_release);
        return count;
    }

private:
    std::vector<std::int16_t> m_samples;
    // Positions count samples since the ring was made and never wrap in practice (2^64).
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<std::uint64_t> m_read{0};
    std::atomic<std::uint64_t> m_discardTo{0};
};

}  // namespace zolk::shell
