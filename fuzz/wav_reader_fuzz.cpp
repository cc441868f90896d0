// Any bytes as a recording given to zolk-phy: opened and read to the end in sound-card blocks.
// Checks: a file is either refused with a reason naming it or read without fault, never more
// samples than its data chunk announces.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "wav_reader.h"

namespace {

// The input as a file the reader can open by name, without touching the disk.
const std::string& memoryFile(int& fd) {
    static int descriptor = memfd_create("recording.wav", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(descriptor);
    if (descriptor < 0) std::abort();
    fd = descriptor;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fd = -1;
    const std::string& path = memoryFile(fd);
    if (ftruncate(fd, 0) != 0) std::abort();
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    try {
        zolk::WavReader reader(path);
        std::vector<float> block(256);
        std::uint64_t total = 0;
        for (;;) {
            const std::size_t n = reader.read(block);
            total += n;
            if (n < block.size()) break;
        }
        if (total > reader.frames()) std::abort();
        if (total * 2 * reader.channels() > size) std::abort();
    } catch (const std::runtime_error& refused) {
        if (std::string(refused.what()).rfind(path + ": ", 0) != 0) std::abort();
    }
    return 0;
}
