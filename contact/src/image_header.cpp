// Image headers read by hand, so nothing is decoded before its claimed size has been checked
// against the data. Layouts: JPEG (ITU-T T.81 annex B), PNG (RFC 2083 IHDR), GIF89a logical
// screen descriptor, BMP file and DIB headers.
#include "image_header.h"

#include <cstdint>
#include <cstring>

namespace contact::detail {

namespace {

unsigned byteAt(std::string_view b, std::size_t i) { return static_cast<unsigned char>(b[i]); }
unsigned be16(std::string_view b, std::size_t i) { return byteAt(b, i) << 8 | byteAt(b, i + 1); }
std::uint32_t be32(std::string_view b, std::size_t i) { return std::uint32_t{be16(b, i)} << 16 | be16(b, i + 2); }
unsigned le16(std::string_view b, std::size_t i) { return byteAt(b, i) | byteAt(b, i + 1) << 8; }
std::uint32_t le32(std::string_view b, std::size_t i) { return le16(b, i) | std::uint32_t{le16(b, i + 2)} << 16; }

bool startsWith(std::string_view b, std::string_view magic) { return b.substr(0, magic.size()) == magic; }

std::string claims(const ImageHeader& h) {
    return "claims " + std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels";
}

// Every 8x8 block of a JPEG costs at least one bit of its DC scan (baseline and progressive
// alike), so no JPEG holds more than 512 pixels per byte.
constexpr long long kJpegPixelsPerByte = 512;
constexpr int kMaxStrayBytes = 16;
// Deflate never compresses by more than about 1032:1.
constexpr long long kDeflateRatio = 1032;

// Moves `pos` past the entropy-coded data of a scan: to the next marker that is neither a
// stuffed 0xFF00 nor a restart marker.
void skipScanData(std::string_view b, std::size_t& pos) {
    while (pos < b.size()) {
        const void* ff = std::memchr(b.data() + pos, 0xFF, b.size() - pos);
        if (!ff) {
            pos = b.size();
            return;
        }
        pos = static_cast<std::size_t>(static_cast<const char*>(ff) - b.data());
        if (pos + 1 >= b.size()) {
            pos = b.size();
            return;
        }
        const unsigned next = byteAt(b, pos + 1);
        if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF) return;
        pos += next == 0xFF ? 1 : 2;
    }
}

void readJpeg(std::string_view b, ImageHeader& h) {
    bool frame = false, scan = false;
    std::size_t pos = 2;
    for (;;) {
        if (pos + 2 > b.size()) {
            h.problem = "the JPEG data ends before its end marker (a truncated copy)";
            return;
        }
        // A few stray bytes before a marker are common (libjpeg reads past them too); more
        // than that is not a JPEG.
        for (int stray = 0; byteAt(b, pos) != 0xFF; ++stray) {
            if (stray == kMaxStrayBytes || pos + 3 > b.size()) {
                h.problem = "the JPEG data is damaged (no marker where one must be)";
                return;
            }
            ++pos;
        }
        const unsigned marker = byteAt(b, pos + 1);
        pos += 2;
        if (marker == 0xFF) {   // fill byte before a marker
            --pos;
            continue;
        }
        if (marker == 0xD9) break;   // end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;   // no length
        if (pos + 2 > b.size() || be16(b, pos) < 2 || pos + be16(b, pos) > b.size()) {
            h.problem = "the JPEG data ends inside a header (a truncated copy)";
            return;
        }
        const unsigned length = be16(b, pos);
        const bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            // Baseline, extended and progressive Huffman coding: what Windows' decoder shows.
            if (marker > 0xC2) {
                h.problem = "lossless, hierarchical or arithmetic-coded JPEG, which Outlook cannot show";
                return;
            }
            // 8-bit samples, 1 (grey), 3 (YCbCr) or 4 (CMYK) components, 3 bytes each.
            const unsigned components = length >= 8 ? byteAt(b, pos + 7) : 0;
            if (frame || byteAt(b, pos + 2) != 8 || (components != 1 && components != 3 && components != 4) ||
                length != 8 + 3 * components) {
                h.problem = "the JPEG data is damaged (a bad or second frame header)";
                return;
            }
            h.height = be16(b, pos + 3);
            h.width = be16(b, pos + 5);
            frame = true;
        } else if (marker == 0xDA) {
            const unsigned components = length >= 3 ? byteAt(b, pos + 2) : 0;
            if (!frame || components < 1 || components > 4 || length != 6 + 2 * components) {
                h.problem = "the JPEG data is damaged (a bad scan header)";
                return;
            }
            scan = true;
            pos += length;
            skipScanData(b, pos);
            continue;
        }
        pos += length;
    }
    if (!scan || h.width == 0 || h.height == 0) {
        h.problem = "the JPEG data holds no image";
        return;
    }
    if (h.width * h.height > kJpegPixelsPerByte * static_cast<long long>(b.size()))
        h.problem = "the JPEG " + claims(h) + " but its " + std::to_string(b.size()) + " bytes cannot hold them";
}

void readPng(std::string_view b, ImageHeader& h) {
    if (b.size() < 29 || b.substr(12, 4) != "IHDR") {
        h.problem = "the PNG data has no image header";
        return;
    }
    h.width = be32(b, 16);
    h.height = be32(b, 20);
    const unsigned depth = byteAt(b, 24), colourType = byteAt(b, 25);
    const int channels = colourType == 0 || colourType == 3 ? 1 : colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 0;
    if (channels == 0 || depth == 0 || depth > 16 || h.width == 0 || h.height == 0) {
        h.problem = "the PNG image header is damaged";
        return;
    }
    const long long rowBytes = (h.width * channels * depth + 7) / 8 + 1;
    if (rowBytes > kDeflateRatio * static_cast<long long>(b.size()) / h.height)
        h.problem = "the PNG " + claims(h) + " but its " + std::to_string(b.size()) + " bytes cannot hold them";
}

void readBmp(std::string_view b, ImageHeader& h) {
    if (b.size() < 26) {
        h.problem = "the BMP data ends inside its header";
        return;
    }
    const std::uint32_t offset = le32(b, 10), dibSize = le32(b, 14);
    unsigned bitsPerPixel = 0;
    std::uint32_t compression = 0;
    if (dibSize == 12) {   // OS/2 core header
        h.width = le16(b, 18);
        h.height = le16(b, 20);
        bitsPerPixel = le16(b, 24);
    } else if (dibSize >= 40 && b.size() >= 34) {
        h.width = static_cast<std::int32_t>(le32(b, 18));
        h.height = static_cast<std::int32_t>(le32(b, 22));
        if (h.height < 0) h.height = -h.height;   // rows stored top down
        bitsPerPixel = le16(b, 28);
        compression = le32(b, 30);
    } else {
        h.problem = "the BMP header is damaged";
        return;
    }
    // Uncompressed and bit-field pixels only: stb_image reads no run-length coded BMP.
    if (compression != 0 && compression != 3 && compression != 6) {
        h.problem = "compressed BMP images are not supported";
        return;
    }
    const bool knownDepth = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
                            bitsPerPixel == 24 || bitsPerPixel == 32;
    if (!knownDepth || h.width <= 0 || h.height <= 0) {
        h.problem = "the BMP header is damaged";
        return;
    }
    const long long stride = (h.width * bitsPerPixel + 31) / 32 * 4;
    if (offset > b.size() || stride > static_cast<long long>(b.size() - offset) / h.height)
        h.problem = "the BMP " + claims(h) + " but holds " + std::to_string(b.size()) + " bytes in all";
}

}  // namespace

ImageHeader readImageHeader(std::string_view b) {
    ImageHeader h;
    if (startsWith(b, "\xFF\xD8\xFF")) {
        h.format = ImageFormat::Jpeg;
        readJpeg(b, h);
    } else if (startsWith(b, "\x89PNG\r\n\x1A\n")) {
        h.format = ImageFormat::Png;
        readPng(b, h);
    } else if (startsWith(b, "GIF87a") || startsWith(b, "GIF89a")) {
        h.format = ImageFormat::Gif;
        if (b.size() < 10) h.problem = "the GIF data ends inside its header";
        else {
            h.width = le16(b, 6);
            h.height = le16(b, 8);
            if (h.width == 0 || h.height == 0) h.problem = "the GIF header is damaged";
        }
    } else if (startsWith(b, "BM")) {
        h.format = ImageFormat::Bmp;
        readBmp(b, h);
    }
    return h;
}

const char* formatName(ImageFormat format) {
    switch (format) {
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Png: return "PNG";
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Unknown: break;
    }
    return "unknown";
}

}  // namespace contact::detail
