// The contact photo: JPEG kept byte for byte, other formats re-encoded as JPEG, damaged data
// reported, links not followed; the preferred photo first; sizes checked before decoding and
// large pictures scaled down, in bounded memory.
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <array>
#include <cstdint>

#include "../support/child_process.h"
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

void collect(void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<char*>(data), size); }

// A 2x2 image: red, green / blue, transparent.
const unsigned char kPixels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 0, 0, 0, 0};

std::string tinyPng() {
    std::string png;
    stbi_write_png_to_func(collect, &png, 2, 2, 4, kPixels, 8);
    return png;
}

std::string tinyJpeg() {
    std::string jpeg;
    stbi_write_jpg_to_func(collect, &jpeg, 2, 2, 4, kPixels, 95);
    return jpeg;
}

const Attachment* photoOf(const ContactItem& item) {
    return item.attachments.size() == 1 ? &item.attachments.front() : nullptr;
}

void expectPhotoProperties(const ContactItem& item) {
    const Attachment* photo = photoOf(item);
    ASSERT_NE(photo, nullptr);
    const PropertyList& p = photo->properties;
    EXPECT_EQ(valueOf<bool>(p, mapi::PidTagAttachmentContactPhoto), true);
    EXPECT_EQ(valueOf<std::string>(p, mapi::PidTagAttachExtension), ".jpg");
    EXPECT_EQ(valueOf<std::string>(p, mapi::PidTagAttachFilename), "ContactPicture.jpg");
    EXPECT_EQ(valueOf<std::string>(p, mapi::PidTagAttachLongFilename), "ContactPicture.jpg");
    EXPECT_EQ(valueOf<std::string>(p, mapi::PidTagDisplayName), "ContactPicture.jpg");
    EXPECT_EQ(valueOf<std::string>(p, mapi::PidTagAttachMimeTag), "image/jpeg");
    EXPECT_EQ(valueOf<bool>(p, mapi::PidTagAttachmentHidden), true);
    EXPECT_EQ(namedValue<bool>(item, mapi::PidLidHasPicture), true);
    // Number, method and rendering position of the attachment, and the message's attachment
    // flags, are the store's (messaging_message_test and mailstore_contact_item_test check them).
    for (const PropertyKey& key : {PropertyKey(mapi::PidTagAttachNumber), PropertyKey(mapi::PidTagAttachMethod),
                                  PropertyKey(mapi::PidTagRenderingPosition)})
        EXPECT_FALSE(p.contains(key)) << key.describe();
    EXPECT_FALSE(item.properties.contains(mapi::PidTagHasAttachments));
    EXPECT_FALSE(item.properties.contains(mapi::PidTagMessageFlags));
}

std::string photoBytes(const ContactItem& item) {
    const Attachment* photo = photoOf(item);
    if (!photo) return std::string();
    const std::optional<Binary> data = valueOf<Binary>(photo->properties, mapi::PidTagAttachDataBinary);
    return data ? data->bytes : std::string();
}

std::string pngOf(int width, int height) {
    std::string pixels(static_cast<std::size_t>(width) * height * 3, '\0');
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<char>(i * 7 % 251);
    std::string png;
    stbi_write_png_to_func(collect, &png, width, height, 3, pixels.data(), width * 3);
    return png;
}

std::string jpegOf(int width, int height) {
    std::string pixels(static_cast<std::size_t>(width) * height * 3, '\x80');
    std::string jpeg;
    stbi_write_jpg_to_func(collect, &jpeg, width, height, 3, pixels.data(), 90);
    return jpeg;
}

void put32be(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void appendChunk(std::string& png, std::string_view type, std::string_view data) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    put32be(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type) + std::string(data);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : body) crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    png += body;
    put32be(png, crc ^ 0xFFFFFFFFu);
}

// A black RGB PNG of any size without its pixels in memory: one fixed-Huffman deflate block of a
// zero byte and then copies of the byte before, 258 at a time (13 bits each, about 160:1).
std::string pngHeader(std::uint32_t width, std::uint32_t height) {
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    put32be(header, width);
    put32be(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);   // 8-bit RGB
    appendChunk(png, "IHDR", header);
    return png;
}

std::string blackPng(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t total = (std::uint64_t{width} * 3 + 1) * height;
    std::string zlib = "\x78\x01";
    std::uint32_t acc = 0;
    int bits = 0;
    const auto put = [&](std::uint32_t value, int count) {   // least significant bit first
        acc |= value << bits;
        for (bits += count; bits >= 8; bits -= 8, acc >>= 8) zlib.push_back(static_cast<char>(acc & 0xFF));
    };
    const auto code = [&](std::uint32_t value, int count) {   // Huffman codes go most significant bit first
        std::uint32_t reversed = 0;
        for (int i = 0; i < count; ++i) reversed |= ((value >> i) & 1) << (count - 1 - i);
        put(reversed, count);
    };
    put(1, 1);                 // the last block
    put(1, 2);                 // fixed Huffman codes
    code(0x30, 8);             // literal 0
    std::uint64_t left = total - 1;
    for (; left >= 258 + 3 || left == 258; left -= 258) {
        code(0xC5, 8);         // length 258
        code(0, 5);            // distance 1
    }
    while (left > 0) {
        if (left < 3) {
            code(0x30, 8);
            --left;
            continue;
        }
        const std::uint64_t length = left > 10 ? (left - 10 < 3 ? 7 : 10) : left;
        code(static_cast<std::uint32_t>(1 + length - 3), 7);   // lengths 3..10: symbols 257..264
        code(0, 5);
        left -= length;
    }
    code(0, 7);                // end of block
    if (bits > 0) zlib.push_back(static_cast<char>(acc & 0xFF));
    put32be(zlib, static_cast<std::uint32_t>(total % 65521) << 16 | 1);   // Adler-32 of zero bytes
    std::string png = pngHeader(width, height);
    appendChunk(png, "IDAT", zlib);
    appendChunk(png, "IEND", "");
    return png;
}

// Width and height of a JPEG that decodes; 0 x 0 when it does not.
std::pair<int, int> decodedSize(const std::string& jpeg) {
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(jpeg.data()), static_cast<int>(jpeg.size()),
                                            &w, &h, &n, 3);
    if (!pixels) return {0, 0};
    stbi_image_free(pixels);
    return {w, h};
}

TEST(Photo, JpegIsKeptByteForByte) {
    const std::string jpeg = tinyJpeg();
    ASSERT_FALSE(jpeg.empty());
    for (const std::string& line : {"PHOTO;ENCODING=b;TYPE=JPEG:" + base64(jpeg),
                                    "PHOTO;ENCODING=BASE64;TYPE=image/png:" + base64(jpeg)}) {   // wrong label
        const ContactItem item = mapLines("FN:A\n" + line + "\n");
        expectPhotoProperties(item);
        EXPECT_EQ(photoBytes(item), jpeg);
    }
    const ContactItem v4 = mapText(card("FN:A\nPHOTO:data:image/jpeg;base64," + base64(jpeg) + "\n", "4.0"));
    EXPECT_EQ(photoBytes(v4), jpeg);
}

TEST(Photo, PngIsConvertedToJpegOverWhite) {
    const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b;TYPE=PNG:" + base64(tinyPng()) + "\n");
    expectPhotoProperties(item);
    const std::string jpeg = photoBytes(item);
    ASSERT_GE(jpeg.size(), 3u);
    EXPECT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF");
    int w = 0, h = 0, n = 0;
    stbi_uc* rgb = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(jpeg.data()), static_cast<int>(jpeg.size()),
                                         &w, &h, &n, 3);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    // JPEG is lossy and 2x2 shares chroma: check the transparent corner became light and the
    // image as a whole kept its brightness rather than exact colours.
    EXPECT_GT(rgb[9] + rgb[10] + rgb[11], 3 * 150);
    EXPECT_LT(rgb[0] + rgb[1] + rgb[2], 3 * 200);
    stbi_image_free(rgb);
}

TEST(Photo, UndecodableDataGivesAWarningAndNoPhoto) {
    const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b;TYPE=PNG:" + base64("this is no image at all") + "\n");
    EXPECT_TRUE(item.attachments.empty());
    EXPECT_FALSE(namedValue<bool>(item, mapi::PidLidHasPicture));
    EXPECT_FALSE(tagValue<bool>(item, mapi::PidTagHasAttachments));
    EXPECT_TRUE(hasWarningContaining(item, "photo could not be converted"));
    EXPECT_EQ(tagText(item, mapi::PidTagDisplayName), "A");
}

TEST(Photo, FormatsAddressBooksDoNotWriteAreReported) {
    const std::string webp = std::string("RIFF\x10\0\0\0WEBPVP8 ", 16) + std::string(16, '\x01');
    const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64(webp) + "\n");
    EXPECT_TRUE(item.attachments.empty());
    EXPECT_TRUE(hasWarningContaining(item, "image/webp is not supported"));
    // A Netpbm image stb_image could decode is still not handed to it.
    const ContactItem pnm = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64("P6\n1 1\n255\n\xFF\x00\x00") + "\n");
    EXPECT_TRUE(pnm.attachments.empty());
    EXPECT_TRUE(hasWarningContaining(pnm, "photo could not be converted"));
}

TEST(Photo, LinkIsNotDownloaded) {
    const ContactItem item = mapLines("FN:A\nPHOTO;VALUE=URL;TYPE=JPEG:http://example.com/a.jpg\n");
    EXPECT_TRUE(item.attachments.empty());
    EXPECT_FALSE(namedValue<bool>(item, mapi::PidLidHasPicture));
    EXPECT_NE(body(item).find("Photo (link): http://example.com/a.jpg"), std::string::npos);
}

TEST(Photo, PreferredPhotoFirstAndTheNextWhenOneCannotBeUsed) {
    const std::string jpeg = tinyJpeg();
    const ContactItem item = mapText(card("FN:A\nPHOTO:data:image/png;base64," + base64(tinyPng()) + "\n" +
                                          "PHOTO;PREF=1:data:image/jpeg;base64," + base64(jpeg.substr(0, jpeg.size() / 2)) +
                                          "\nPHOTO;PREF=2:http://example.com/a.jpg\n" +
                                          "PHOTO;PREF=3:data:image/jpeg;base64\\," + base64(jpeg) + "\n", "4.0"));
    expectPhotoProperties(item);
    EXPECT_EQ(photoBytes(item), jpeg);   // PREF=3 (an escaped comma): PREF=1 is truncated, PREF=2 a link
    EXPECT_TRUE(hasWarningContaining(item, "truncated"));
    EXPECT_EQ(body(item).find("Photo (link)"), std::string::npos);
    // With no picture at all, the link is kept in the notes and named in a warning.
    const ContactItem link = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64("GIF89a") + "\nPHOTO;VALUE=URI:http://example.com/a.jpg\n");
    EXPECT_TRUE(link.attachments.empty());
    EXPECT_TRUE(hasWarningContaining(link, "not downloaded"));
    EXPECT_TRUE(hasWarningContaining(link, "GIF"));
}

// Headers that claim more pixels than their data can hold are refused before anything is
// decoded (such a BMP used to cost a second and give a JPEG no reader accepts).
TEST(Photo, SizesTheDataCannotHoldAreRefusedBeforeDecoding) {
    std::string bmp = "BM";
    for (const std::uint32_t v : {75u, 0u, 54u, 40u, 3886156u, 4u}) {
        for (int i = 0; i < 4; ++i) bmp.push_back(static_cast<char>(v >> (8 * i)));
    }
    bmp += std::string("\x01\x00\x18\x00", 4) + std::string(75 - 30, '\0');   // 1 plane, 24 bits, uncompressed
    std::string png = pngHeader(60000, 60000);
    appendChunk(png, "IDAT", std::string(100, '\x01'));        // ... and 100 bytes for 3.6 billion pixels
    appendChunk(png, "IEND", "");
    std::string jpeg = tinyJpeg();
    const std::size_t frame = jpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    jpeg.replace(frame + 5, 4, "\xEA\x60\xEA\x60");   // 60000 x 60000 pixels in a few hundred bytes
    const struct { const char* name; std::string bytes; const char* warning; } cases[] = {
        {"BMP", bmp, "claims 3886156 x 4 pixels"},
        {"PNG", png, "claims 60000 x 60000 pixels"},
        {"JPEG", jpeg, "claims 60000 x 60000 pixels"},
        {"truncated JPEG", tinyJpeg().substr(0, 200), "truncated"},
        {"JPEG start and garbage", "\xFF\xD8\xFF\xE0 not a jpeg at all", "photo dropped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64(c.bytes) + "\n");
        EXPECT_TRUE(item.attachments.empty());
        EXPECT_TRUE(hasWarningContaining(item, c.warning));
    }
}

// Real JPEG files may have a stray byte before a marker (libjpeg reads past it): still a JPEG.
TEST(Photo, JpegWithAStrayByteBeforeAMarkerIsKept) {
    std::string jpeg = tinyJpeg();
    jpeg.insert(jpeg.find("\xFF\xC4"), 1, '\0');
    const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64(jpeg) + "\n");
    EXPECT_EQ(photoBytes(item), jpeg);
}

// What Outlook shows of a person is at most 648 pixels a side: larger pictures are scaled down,
// also past the 65,535 pixels a JPEG header can hold, and the change is reported.
TEST(Photo, LargePicturesAreScaledDownToValidJpegs) {
    const struct { const char* name; std::string bytes; std::pair<int, int> size; const char* warning; } cases[] = {
        {"PNG", pngOf(1300, 650), {648, 324}, "converted from PNG to JPEG and scaled down from 1300 x 650"},
        {"wide PNG", blackPng(70000, 2), {648, 1}, "scaled down from 70000 x 2 pixels to 648 x 1"},
        {"JPEG", jpegOf(800, 1000), {518, 648}, "photo scaled down from 800 x 1000"},
        {"small PNG", pngOf(30, 20), {30, 20}, "converted from PNG to JPEG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64(c.bytes) + "\n");
        expectPhotoProperties(item);
        EXPECT_EQ(decodedSize(photoBytes(item)), c.size);
        EXPECT_TRUE(hasWarningContaining(item, c.warning));
    }
    const ContactItem small = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64(jpegOf(648, 100)) + "\n");
    EXPECT_TRUE(small.warnings.empty());   // kept as written: nothing to say
}

// An 8192 x 8192 PNG of a megabyte used to take 470 MB to decode; it is refused before
// decoding, and a 3000 x 3000 one is decoded in about 7 bytes a pixel and scaled down.
TEST(Photo, HugePicturesStayWithinBoundedMemory) {
    using namespace zentra::testing;
    const struct { std::uint32_t side; bool kept; long boundMiB; } cases[] = {{8192, false, 40}, {3000, true, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.side);
        const std::string vcf = card("FN:A\nPHOTO;ENCODING=b:" + base64(blackPng(c.side, c.side)) + "\n");
        const ChildRun run = runInChild([&] {
            const ContactItem item = mapText(vcf);
            if (!c.kept) return check(item.attachments.empty(), "no picture") && check(hasWarningContaining(item, "8192 x 8192"), "warning");
            return check(decodedSize(photoBytes(item)) == std::pair<int, int>(648, 648), "a 648 x 648 picture");
        });
        EXPECT_TRUE(run.passed);
        if (kMeasureMemory) {
            EXPECT_LT(run.peakKb - idleChildKb(), c.boundMiB * kMiB) << "peak " << run.peakKb << " KiB";
        }
    }
}

}  // namespace
}  // namespace contact::testing
