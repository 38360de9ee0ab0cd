#include "PictureMaker.h"

#include <mutex>

#include <zlib.h>

namespace devserver {

namespace {

void AppendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    png += typed;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    AppendBigEndian(png, static_cast<std::uint32_t>(crc));
}

// Deflates the filtered rows one at a time, so a huge picture never exists uncompressed.
std::string CompressedRows(std::uint32_t height, const std::function<void(std::uint32_t y, std::string& row)>& fillRow) {
    z_stream stream{};
    deflateInit(&stream, Z_BEST_SPEED);
    std::string compressed;
    std::string row;
    unsigned char out[65536];
    const auto drain = [&](int flush) {
        do {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            compressed.append(reinterpret_cast<char*>(out), sizeof out - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    for (std::uint32_t y = 0; y < height; ++y) {
        row.assign(1, '\0');  // filter type 0
        fillRow(y, row);
        stream.next_in = reinterpret_cast<Bytef*>(row.data());
        stream.avail_in = static_cast<uInt>(row.size());
        drain(Z_NO_FLUSH);
    }
    drain(Z_FINISH);
    deflateEnd(&stream);
    return compressed;
}

}  // namespace

std::string EncodePng(std::uint32_t width, std::uint32_t height, int bitDepth, int colourType,
                      const std::function<void(std::uint32_t y, std::string& row)>& fillRow) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    header += static_cast<char>(bitDepth);
    header += static_cast<char>(colourType);
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", CompressedRows(height, fillRow));
    AppendChunk(png, "IEND", "");
    return png;
}

std::string BannerPicture(int n) {
    constexpr std::uint32_t kWidth = 650;
    constexpr std::uint32_t kHeight = 300;
    const int hue = (n * 67) % 256;
    return EncodePng(kWidth, kHeight, 8, 2, [hue](std::uint32_t y, std::string& row) {
        const bool band = y >= 120 && y < 180;
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const int shade = static_cast<int>(x * 255 / kWidth);
            row += static_cast<char>(band ? 255 : hue);
            row += static_cast<char>(band ? 255 : shade);
            row += static_cast<char>(band ? 255 : 255 - hue);
        }
    });
}

const std::string& GiantPicture() {
    static std::once_flag made;
    static std::string picture;
    std::call_once(made, [] {
        constexpr std::uint32_t kSide = 30000;
        picture = EncodePng(kSide, kSide, 1, 0, [](std::uint32_t, std::string& row) {
            row.append((kSide + 7) / 8, '\0');
        });
    });
    return picture;
}

std::string BrokenPicture() {
    std::string broken("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 1000; ++i) broken += static_cast<char>('a' + i % 26);
    return broken;
}

}  // namespace devserver
