// A tables file damaged in chosen places. The committed file is the starting image; the input is a
// list of patches (3 bytes offset, 1 byte length, that many bytes) over it, and its first byte says
// whether the check bytes are then made to match, so the damage reaches the per-mode readers and
// checks behind the checksum. An input of exactly the file's size is taken as the whole image.
// Checks: loading never fails other than by its message, and an image that loads is written back
// byte for byte by the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "phy/common/crc16.h"
#include "phy/common/tables_file.h"

namespace {

const std::vector<std::uint8_t>& committedImage() {
    static const std::vector<std::uint8_t> image = [] {
        std::ifstream file(ZOLK_TABLES_FILE, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.size() != zolk::kTablesFileSize) std::abort();
        return bytes;
    }();
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> image;
    if (size == zolk::kTablesFileSize) {
        image.assign(data, data + size);
    } else {
        if (size == 0) return 0;
        image = committedImage();
        const bool fixCheck = (data[0] & 1) != 0;
        std::size_t at = 1;
        while (at + 4 <= size) {
            const std::size_t offset =
                (std::size_t{data[at]} | std::size_t{data[at + 1]} << 8 | std::size_t{data[at + 2]} << 16) % image.size();
            const std::size_t length = data[at + 3];
            at += 4;
            for (std::size_t i = 0; i < length && at < size && offset + i < image.size(); ++i, ++at)
                image[offset + i] = data[at];
        }
        if (fixCheck) {
            const auto body = std::span(image).first(image.size() - 2);
            const auto check = zolk::crc16StoredBytes(body);
            image[image.size() - 2] = check[0];
            image[image.size() - 1] = check[1];
        }
    }
    const zolk::TablesFileLoad load = zolk::parseTablesFile(image, "fuzz.dat");
    if ((load.tables == nullptr) == load.message.empty()) std::abort();
    if (load.tables != nullptr && zolk::encodeTablesFile(*load.tables) != image) std::abort();
    return 0;
}
