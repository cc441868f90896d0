#include "shell/portaudio_device.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <cmath>

#include "app/station.h"

namespace zolk::shell {
namespace {

constexpr double kSampleRateHz = 48000.0;
constexpr unsigned long kBlockFrames = 256;
constexpr std::size_t kBlockSamples = 2 * kBlockFrames;
// About 200 blocks queued each way, as the station's transmit tails are timed for.
constexpr std::size_t kQueueBlocks = 200;
constexpr std::size_t kRingSamples = kQueueBlocks * kBlockSamples;
// Capture blocks handled per pump, so that a backlog does not freeze the window.
constexpr int kCaptureBlocksPerPump = 32;
// The main thread is woken when this many blocks are captured: 21 ms of audio, so it wakes about
// 47 times a second instead of polling. Each wake also refills the playback queue.
constexpr std::size_t kWakeSamples = 4 * kBlockSamples;
// Playback wakes the main thread itself only when its queue ran this far below the mark, which
// happens when nothing is captured (capture closed or failed).
constexpr std::size_t kRefillSamples = 16 * kBlockSamples;

// ALSA and JACK print every probe of a missing card or server to stderr; the station reports
// what matters itself.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

std::string trimmedRight(const char* name) {
    std::string s = name != nullptr ? name : "";
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}

int channelsOf(const PaDeviceInfo& info, AudioDirection direction) {
    return direction == AudioDirection::Capture ? info.maxInputChannels : info.maxOutputChannels;
}

// Exact, case-sensitive match on the name; empty means the system default. paNoDevice if none.
PaDeviceIndex findDevice(AudioDirection direction, const std::string& name) {
    if (name.empty())
        return direction == AudioDirection::Capture ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info != nullptr && channelsOf(*info, direction) > 0 && trimmedRight(info->name) == name) return i;
    }
    return paNoDevice;
}

int captureCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                    PaStreamCallbackFlags, void* user) {
    auto& shared = *static_cast<PortAudioDevice::StreamShared*>(user);
    const auto* in = static_cast<const std::int16_t*>(input);
    if (in == nullptr) return paContinue;
    if (shared.channels == 2) {
        shared.ring.write(std::span(in, frames * 2));
        if (shared.ring.size() >= kWakeSamples) shared.wakeMainThread();
        return paContinue;
    }
    // A mono device: its one channel is the left (and, unused, the right) of the stereo block.
    std::array<std::int16_t, kBlockSamples> stereo;
    while (frames > 0) {
        const unsigned long n = std::min(frames, kBlockFrames);
        for (unsigned long k = 0; k < n; ++k) stereo[2 * k] = stereo[2 * k + 1] = in[k];
        shared.ring.write(std::span(stereo.data(), 2 * n));
        in += n;
        frames -= n;
    }
    if (shared.ring.size() >= kWakeSamples) shared.wakeMainThread();
    return paContinue;
}

void wakeWhenLow(PortAudioDevice::StreamShared& shared) {
    if (shared.ring.size() <= shared.refillLevel.load(std::memory_order_relaxed)) shared.wakeMainThread();
}

// A stream that ends (the device failed or was unplugged) wakes the main thread to close it.
void streamFinished(void* user) { static_cast<PortAudioDevice::StreamShared*>(user)->wakeMainThread(); }

int playbackCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                     PaStreamCallbackFlags, void* user) {
    auto& shared = *static_cast<PortAudioDevice::StreamShared*>(user);
    auto* out = static_cast<std::int16_t*>(output);
    if (shared.channels == 2) {
        const std::size_t got = shared.ring.read(std::span(out, frames * 2));
        // An empty queue plays silence rather than stale samples.
        std::fill(out + got, out + frames * 2, std::int16_t{0});
        wakeWhenLow(shared);
        return paContinue;
    }
    std::array<std::int16_t, kBlockSamples> stereo;
    while (frames > 0) {
        const unsigned long n = std::min(frames, kBlockFrames);
        const std::size_t got = shared.ring.read(std::span(stereo.data(), 2 * n)) / 2;
        for (unsigned long k = 0; k < n; ++k) out[k] = k < got ? stereo[2 * k] : std::int16_t{0};
        out += n;
        frames -= n;
    }
    wakeWhenLow(shared);
    return paContinue;
}

}  // namespace

PortAudioDevice::PortAudioDevice(QObject* parent) : QObject(parent) {
    snd_lib_error_set_handler(&quietAlsa);
    jack_set_error_function(&quietJack);
    jack_set_info_function(&quietJack);
    if (!m_wake.error().isEmpty()) {
        m_initError = "the sound thread cannot wake the main thread: " + m_wake.error().toStdString();
        return;
    }
    const PaError error = Pa_Initialize();
    m_initialised = error == paNoError;
    if (!m_initialised) m_initError = Pa_GetErrorText(error);
    connect(&m_wake, &MainThreadWake::woken, this, &PortAudioDevice::pump);
}

PortAudioDevice::~PortAudioDevice() {
    for (Stream& s : m_streams) closeStream(s);
    if (m_initialised) Pa_Terminate();
}

bool PortAudioDevice::open(AudioDirection direction, const std::string& deviceName) {
    Stream& s = stream(direction);
    closeStream(s);
    if (!m_initialised) return false;
    const PaDeviceIndex device = findDevice(direction, deviceName);
    if (device == paNoDevice) return false;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr || channelsOf(*info, direction) < 1) return false;

    const bool capture = direction == AudioDirection::Capture;
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = std::min(channelsOf(*info, direction), 2);
    parameters.sampleFormat = paInt16;
    parameters.suggestedLatency = capture ? info->defaultHighInputLatency : info->defaultHighOutputLatency;

    auto shared = std::make_unique<StreamShared>(kRingSamples, parameters.channelCount, m_wake);
    PaStream* handle = nullptr;
    PaError error = Pa_OpenStream(
        &handle, capture ? &parameters : nullptr, capture ? nullptr : &parameters, kSampleRateHz,
        kBlockFrames, paClipOff, capture ? &captureCallback : &playbackCallback, shared.get());
    if (error != paNoError) return false;
    Pa_SetStreamFinishedCallback(handle, &streamFinished);
    error = Pa_StartStream(handle);
    if (error != paNoError) {
        Pa_CloseStream(handle);
        return false;
    }

    s.handle = handle;
    s.shared = std::move(shared);
    if (!capture) {
        // The card's own buffer counts towards the 200 blocks: together they set how long the
        // station's audio takes to reach the air, which its transmit tails are timed for.
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(handle);
        const double latencyS = streamInfo != nullptr ? streamInfo->outputLatency : 0.0;
        const auto cardBlocks =
            static_cast<std::size_t>(std::ceil(latencyS * kSampleRateHz / kBlockFrames));
        s.queueSamples = (kQueueBlocks - std::min(cardBlocks, kQueueBlocks / 2)) * kBlockSamples;
        s.shared->refillLevel.store(s.queueSamples - kRefillSamples, std::memory_order_relaxed);
    }
    // The first pump, after this call, asks the station for the whole playback queue, as the
    // opening's first requests.
    QMetaObject::invokeMethod(this, &PortAudioDevice::pump, Qt::QueuedConnection);
    return true;
}

void PortAudioDevice::close(AudioDirection direction) { closeStream(stream(direction)); }

void PortAudioDevice::flushPlayback() {
    Stream& s = stream(AudioDirection::Playback);
    // The card's thread drops the queued blocks on its next turn and, finding the queue low,
    // wakes the pump, which asks the station to refill each of them.
    if (s.shared != nullptr) s.shared->ring.discardWritten();
}

std::vector<std::string> PortAudioDevice::deviceNames(AudioDirection direction) const {
    std::vector<std::string> names;
    if (!m_initialised) return names;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info == nullptr || channelsOf(*info, direction) < 1) continue;
        std::string name = trimmedRight(info->name);
        // Several host interfaces may offer a device under one name; the first of them is the one
        // that opens, so the name is listed once.
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
    }
    return names;
}

void PortAudioDevice::pump() {
    for (Stream& s : m_streams) {
        if (s.shared != nullptr) s.shared->wakePending.store(false, std::memory_order_release);
    }
    pumpCapture();
    pumpPlayback();
    // A backlog larger than one pump takes goes on at the next turn of the event loop.
    const Stream& capture = stream(AudioDirection::Capture);
    if (capture.shared != nullptr && capture.shared->ring.size() >= kBlockSamples)
        QMetaObject::invokeMethod(this, &PortAudioDevice::pump, Qt::QueuedConnection);
}

void PortAudioDevice::pumpCapture() {
    Stream& s = stream(AudioDirection::Capture);
    for (int n = 0; n < kCaptureBlocksPerPump && s.shared != nullptr; ++n) {
        StreamShared* shared = s.shared.get();
        if (shared->ring.size() < kBlockSamples) break;
        shared->ring.read(m_block);
        if (m_station != nullptr) m_station->onCaptureBlock(m_block);
    }
    dropFailedStream(AudioDirection::Capture);
}

void PortAudioDevice::pumpPlayback() {
    Stream& s = stream(AudioDirection::Playback);
    while (s.shared != nullptr && s.shared->ring.size() + kBlockSamples <= s.queueSamples) {
        StreamShared* shared = s.shared.get();
        m_block.fill(0);
        if (m_station != nullptr) m_station->onPlaybackRequest(m_block);
        // The station may have closed or reopened playback while it filled the block.
        if (s.shared.get() != shared) break;
        shared->ring.write(m_block);
    }
    dropFailedStream(AudioDirection::Playback);
}

void PortAudioDevice::dropFailedStream(AudioDirection direction) {
    Stream& s = stream(direction);
    if (s.handle == nullptr || Pa_IsStreamActive(static_cast<PaStream*>(s.handle)) == 1) return;
    closeStream(s);
    if (m_station != nullptr) m_station->onAudioDeviceFailed(direction);
}

void PortAudioDevice::closeStream(Stream& s) {
    if (s.handle == nullptr) return;
    auto* handle = static_cast<PaStream*>(s.handle);
    Pa_AbortStream(handle);
    Pa_CloseStream(handle);
    s.handle = nullptr;
    s.shared.reset();
    s.queueSamples = 0;
}

}  // namespace zolk::shell
