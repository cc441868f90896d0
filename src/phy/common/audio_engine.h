// audio_engine.h: the modem's clock: capture blocks in, playback blocks out, the TxSampleRing
// and the device watchdog. Leaves what a block means to the receive front-end and the generators.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "ports/audio_device_port.h"

namespace zolk {

inline constexpr std::size_t kAudioBlockLength = 256;  // frames per capture and playback block
using AudioBlock = std::array<float, kAudioBlockLength>;  // left channel, 48000 Hz, 16-bit scale

inline constexpr std::size_t kTxSampleRingLength = 1536;
using TxSampleRing = std::array<std::int16_t, kTxSampleRingLength>;

// TxGenerator: which generator refills the ring.
enum class TxGenerator : std::uint8_t { SymbolFeeder = 1, TestTone = 2 };
// TxSignalKind: 1 tone blocks of 1024 samples, 2 symbols of the transmit mode's SymbolLength.
enum class TxSignalKind : std::uint8_t { ToneBlocks = 1, Symbols = 2 };

inline constexpr std::size_t kToneBlockLength = 1024;

// The receive front-end's entry, called once per capture block.
class CaptureBlockSink {
public:
    virtual ~CaptureBlockSink() = default;
    virtual void processCaptureBlock(std::span<const float, kAudioBlockLength> block) = 0;
};

// A transmit generator: writes one ring period into the TxSampleRing whenever the read position
// wraps to 0 (next() of the generator). init() runs on the first buffer after PTT
// on, for the symbol feeder only.
class TxSignalGenerator {
public:
    virtual ~TxSignalGenerator() = default;
    virtual void init() = 0;
    virtual void next(TxSampleRing& ring) = 0;
};

// TransmitActive: 1 from PTT ON until PTT OFF. Whoever keys the transmitter answers it.
class TransmitKeying {
public:
    virtual ~TransmitKeying() = default;
    virtual bool transmitActive() const = 0;
};

// The input level the level gauge shows for a capture peak (16-bit scale), in dB below full
// scale 32767: capped at 0 dB; a peak of 0 reads as half a step, about -96 dB.
float captureLevelDb(float capturePeak);

class AudioEngine {
public:
    // Where the engine reports a device that closes, fails or opens again (one line each).
    using LogLine = std::function<void(const std::string& line)>;

    AudioEngine(AudioDevicePort& devices, LogLine log, const TransmitKeying& keying);

    // Either may be null (nothing receives; the ring is played as it stands).
    void attachReceiver(CaptureBlockSink* receiver);
    void attachGenerator(TxGenerator which, TxSignalGenerator* generator);

    void selectGenerator(TxGenerator generator);
    void setSignalKind(TxSignalKind kind);
    // The transmit mode's SymbolLength, the ring length for TxSignalKind 2.
    // Throws std::invalid_argument outside 1..kTxSampleRingLength.
    void setSymbolLength(std::size_t samples);
    TxGenerator generator() const { return m_generator; }
    TxSignalKind signalKind() const { return m_signalKind; }

    // Open by exact device name (empty: the system default). A device that cannot be opened leaves
    // the direction closed and is reported once through the UI sink; returns whether it is open.
    bool openCapture(const std::string& deviceName);
    bool openPlayback(const std::string& deviceName);
    void closeCapture();
    void closePlayback();
    // Discards the queued playback audio.
    void flushPlayback();
    bool captureOpen() const { return m_capture.open; }
    bool playbackOpen() const { return m_playback.open; }

    // One capture block: 256 stereo frames, interleaved left/right.
    void onCaptureBlock(std::span<const std::int16_t> interleavedStereo);
    // One returned playback buffer to refill: 256 stereo frames, interleaved.
    void onPlaybackRequest(std::span<std::int16_t> interleavedStereo);

    // The backend lost an open direction (the device was unplugged or failed). The direction is
    // closed and reported; the watchdog reopens it while no link is in progress.
    void onDeviceFailed(AudioDirection direction);

    // AudioWatchdog: while sessionIdle, reopens each direction that delivered no buffer since the
    // last tick; then forgets which did.
    void watchdogTick(bool sessionIdle);

    // Largest absolute left-channel sample since the level meter last reset it.
    float capturePeak() const { return m_capturePeak; }
    void resetCapturePeak() { m_capturePeak = 0.0F; }
    const AudioBlock& audioBlock() const { return m_block; }
    TxSampleRing& txSampleRing() { return m_ring; }
    std::uint16_t txReadIndex() const { return m_txReadIndex; }

private:
    struct Direction {
        AudioDirection which;
        std::string deviceName;
        bool open = false;
        bool alive = false;
        bool reportedClosed = false;  // the operator has been told it is closed
    };

    bool open(Direction& direction, const std::string& deviceName);
    void close(Direction& direction);
    std::size_t txRingLength() const;
    TxSignalGenerator* selected() const;

    AudioDevicePort& m_devices;
    LogLine m_log;
    const TransmitKeying& m_keying;
    CaptureBlockSink* m_receiver = nullptr;
    std::array<TxSignalGenerator*, 2> m_generators{};

    Direction m_capture{AudioDirection::Capture, {}};
    Direction m_playback{AudioDirection::Playback, {}};
    AudioBlock m_block{};
    float m_capturePeak = 0.0F;

    TxSampleRing m_ring{};
    TxGenerator m_generator = TxGenerator::SymbolFeeder;
    TxSignalKind m_signalKind = TxSignalKind::ToneBlocks;
    std::size_t m_symbolLength = kToneBlockLength;
    std::uint16_t m_txReadIndex = 0;    // TxReadIndex
    bool m_previousTransmitActive = false;
};

}  // namespace zolk
