#include "phy/common/fft.h"

#include <fftw3.h>

#include <algorithm>
#include <cassert>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace zolk {
namespace {

// FFTW's planner keeps process-wide state and is not thread-safe; plan creation and destruction
// are serialised here so that stations built on different threads cannot corrupt it. Execution
// of a finished plan on its own buffers needs no lock.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}

void checkSize(std::size_t size, const char* who) {
    if (size < 2 || (size & (size - 1)) != 0) {
        throw std::invalid_argument(std::string(who) + ": size " + std::to_string(size) +
                                    " is not a power of two >= 2");
    }
}

fftwf_complex* asFftw(Complex* p) { return reinterpret_cast<fftwf_complex*>(p); }

}  // namespace

Fft::Fft(std::size_t size) : m_size(size) {
    checkSize(size, "Fft");
    const std::lock_guard lock(plannerMutex());
    m_buffer = reinterpret_cast<Complex*>(fftwf_alloc_complex(size));
    // FFTW_ESTIMATE picks the algorithm without timing runs, so the rounding (and with it every
    // transmitted sample) is the same on every run and every machine state.
    m_plan = fftwf_plan_dft_1d(static_cast<int>(size), asFftw(m_buffer), asFftw(m_buffer),
                               FFTW_FORWARD, FFTW_ESTIMATE);
}

Fft::~Fft() {
    if (m_plan == nullptr) {
        return;
    }
    const std::lock_guard lock(plannerMutex());
    fftwf_destroy_plan(static_cast<fftwf_plan>(m_plan));
    fftwf_free(m_buffer);
}

Fft::Fft(Fft&& other) noexcept
    : m_size(std::exchange(other.m_size, 0)),
      m_plan(std::exchange(other.m_plan, nullptr)),
      m_buffer(std::exchange(other.m_buffer, nullptr)) {}

Fft& Fft::operator=(Fft&& other) noexcept {
    std::swap(m_size, other.m_size);
    std::swap(m_plan, other.m_plan);
    std::swap(m_buffer, other.m_buffer);
    return *this;
}

void Fft::transform(std::span<Complex> x) {
    assert(x.size() == m_size);
    std::copy(x.begin(), x.end(), m_buffer);
    fftwf_execute(static_cast<fftwf_plan>(m_plan));
    std::copy(m_buffer, m_buffer + m_size, x.begin());
}

RealSynthesis::RealSynthesis(std::size_t size) : m_size(size) {
    checkSize(size, "RealSynthesis");
    const std::lock_guard lock(plannerMutex());
    m_spectrum = reinterpret_cast<Complex*>(fftwf_alloc_complex(size / 2 + 1));
    m_signal = fftwf_alloc_real(size);
    m_plan =
        fftwf_plan_dft_c2r_1d(static_cast<int>(size), asFftw(m_spectrum), m_signal, FFTW_ESTIMATE);
}

RealSynthesis::~RealSynthesis() {
    if (m_plan == nullptr) {
        return;
    }
    const std::lock_guard lock(plannerMutex());
    fftwf_destroy_plan(static_cast<fftwf_plan>(m_plan));
    fftwf_free(m_spectrum);
    fftwf_free(m_signal);
}

RealSynthesis::RealSynthesis(RealSynthesis&& other) noexcept
    : m_size(std::exchange(other.m_size, 0)),
      m_plan(std::exchange(other.m_plan, nullptr)),
      m_spectrum(std::exchange(other.m_spectrum, nullptr)),
      m_signal(std::exchange(other.m_signal, nullptr)) {}

RealSynthesis& RealSynthesis::operator=(RealSynthesis&& other) noexcept {
    std::swap(m_size, other.m_size);
    std::swap(m_plan, other.m_plan);
    std::swap(m_spectrum, other.m_spectrum);
    std::swap(m_signal, other.m_signal);
    return *this;
}

void RealSynthesis::synthesize(std::span<const Complex> bins, std::span<float> out) {
    const std::size_t half = m_size / 2;
    assert(bins.size() >= half + 1 && out.size() == m_size);
    std::copy(bins.begin(), bins.begin() + static_cast<std::ptrdiff_t>(half + 1), m_spectrum);
    // FFTW assumes these imaginary parts are zero; make it so instead of relying on it.
    m_spectrum[0].imag(0.0f);
    m_spectrum[half].imag(0.0f);
    fftwf_execute(static_cast<fftwf_plan>(m_plan));
    std::copy(m_signal, m_signal + m_size, out.begin());
}

}  // namespace zolk
