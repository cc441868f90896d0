#include "phy/common/audio_engine.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace zolk {
namespace {

std::string_view directionWord(AudioDirection direction) {
    return direction == AudioDirection::Capture ? "input" : "output";
}

std::string deviceLabel(const std::string& deviceName) {
    return deviceName.empty() ? std::string("the system default device") : "the device \"" + deviceName + "\"";
}

}  // namespace

float captureLevelDb(float capturePeak) {
    constexpr float kFullScale = 32767.0f;
    const float peak = capturePeak > 0.0f ? capturePeak : 0.5f;
    return std::min(0.0f, 20.0f * std::log10(peak / kFullScale));
}

AudioEngine::AudioEngine(AudioDevicePort& devices, LogLine log, const TransmitKeying& keying)
    : m_devices(devices), m_log(std::move(log)), m_keying(keying) {}

void AudioEngine::attachReceiver(CaptureBlockSink* receiver) { m_receiver = receiver; }

void AudioEngine::attachGenerator(TxGenerator which, TxSignalGenerator* generator) {
    m_generators[static_cast<std::size_t>(which) - 1] = generator;
}

void AudioEngine::selectGenerator(TxGenerator generator) { m_generator = generator; }

void AudioEngine::setSignalKind(TxSignalKind kind) { m_signalKind = kind; }

void AudioEngine::setSymbolLength(std::size_t samples) {
    if (samples == 0 || samples > kTxSampleRingLength) {
        throw std::invalid_argument("AudioEngine::setSymbolLength: " + std::to_string(samples) +
                                    " samples do not fit the 1536-sample ring");
    }
    m_symbolLength = samples;
}

bool AudioEngine::openCapture(const std::string& deviceName) { return open(m_capture, deviceName); }

bool AudioEngine::openPlayback(const std::string& deviceName) { return open(m_playback, deviceName); }

void AudioEngine::closeCapture() { close(m_capture); }

void AudioEngine::closePlayback() { close(m_playback); }

void AudioEngine::flushPlayback() {
    if (m_playback.open) m_devices.flushPlayback();
}

bool AudioEngine::open(Direction& direction, const std::string& deviceName) {
    close(direction);
    direction.deviceName = deviceName;
    direction.open = m_devices.open(direction.which, deviceName);
    const auto word = directionWord(direction.which);
    if (!direction.open && !direction.reportedClosed) {
        m_log("Audio " + std::string(word) + " is closed: " + deviceLabel(deviceName) +
              " cannot be opened; retrying every 10 s while no link is in progress");
        direction.reportedClosed = true;
    } else if (direction.open && direction.reportedClosed) {
        m_log("Audio " + std::string(word) + " is open again on " + deviceLabel(deviceName));
        direction.reportedClosed = false;
    }
    return direction.open;
}

void AudioEngine::close(Direction& direction) {
    if (!direction.open) return;
    m_devices.close(direction.which);
    direction.open = false;
}

void AudioEngine::onCaptureBlock(std::span<const std::int16_t> interleavedStereo) {
    m_capture.alive = true;
    const auto frames = std::min(interleavedStereo.size() / 2, kAudioBlockLength);
    for (std::size_t k = 0; k < frames; ++k) {
        m_block[k] = static_cast<float>(interleavedStereo[2 * k]);
        m_capturePeak = std::max(m_capturePeak, std::abs(m_block[k]));
    }
    std::fill(m_block.begin() + static_cast<std::ptrdiff_t>(frames), m_block.end(), 0.0F);
    if (m_receiver != nullptr) m_receiver->processCaptureBlock(m_block);
}

void AudioEngine::onPlaybackRequest(std::span<std::int16_t> interleavedStereo) {
    m_playback.alive = true;
    std::fill(interleavedStereo.begin(), interleavedStereo.end(), std::int16_t{0});
    const bool transmitActive = m_keying.transmitActive();
    if (transmitActive && m_previousTransmitActive) {
        for (std::size_t frame = 0; 2 * frame + 1 < interleavedStereo.size(); ++frame) {
            if (m_txReadIndex == 0) {
                if (auto* generator = selected()) generator->next(m_ring);
            }
            interleavedStereo[2 * frame] = m_ring[m_txReadIndex];
            interleavedStereo[2 * frame + 1] = m_ring[m_txReadIndex];
            m_txReadIndex = static_cast<std::uint16_t>((m_txReadIndex + 1) % txRingLength());
        }
    } else if (transmitActive) {
        // Key-up: what is still queued is older audio; this buffer stays silent while the
        // generator starts.
        flushPlayback();
        if (m_generator == TxGenerator::SymbolFeeder) {
            if (auto* generator = selected()) generator->init();
        }
        m_txReadIndex = 0;
    }
    m_previousTransmitActive = m_keying.transmitActive();
}

void AudioEngine::onDeviceFailed(AudioDirection which) {
    Direction& direction = which == AudioDirection::Capture ? m_capture : m_playback;
    if (!direction.open) return;
    close(direction);
    // Not alive, so the next idle watchdog tick tries it again.
    direction.alive = false;
    m_log("Audio " + std::string(directionWord(which)) + " failed on " + deviceLabel(direction.deviceName) +
          "; retrying every 10 s while no link is in progress");
    direction.reportedClosed = true;
}

void AudioEngine::watchdogTick(bool sessionIdle) {
    if (sessionIdle) {
        if (!m_capture.alive) {
            close(m_capture);
            open(m_capture, m_capture.deviceName);
        }
        if (!m_playback.alive) {
            close(m_playback);
            open(m_playback, m_playback.deviceName);
        }
    }
    m_capture.alive = false;
    m_playback.alive = false;
}

std::size_t AudioEngine::txRingLength() const {
    return m_signalKind == TxSignalKind::Symbols ? m_symbolLength : kToneBlockLength;
}

TxSignalGenerator* AudioEngine::selected() const {
    return m_generators[static_cast<std::size_t>(m_generator) - 1];
}

}  // namespace zolk
