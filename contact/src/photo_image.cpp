// Decoding, scaling and encoding of contact pictures with stb_image, stb_image_resize and
// stb_image_write. Only the formats address books write are decoded; stb_image's rarer decoders
// (PSD, PIC, HDR, PNM, TGA) never see data from a vCard.
#include "photo_image.h"

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "image_header.h"

namespace contact::detail {

namespace {

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

std::string sizeText(long long width, long long height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

void appendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// The size that fits kMaxPictureSide with the same proportions (at least one pixel a side).
void fittedSize(int width, int height, int& outWidth, int& outHeight) {
    const double scale = std::min({1.0, double(kMaxPictureSide) / width, double(kMaxPictureSide) / height});
    outWidth = std::max(1, static_cast<int>(std::lround(width * scale)));
    outHeight = std::max(1, static_cast<int>(std::lround(height * scale)));
}

// RGBA to RGB over white, in place: pixel i moves from 4i to 3i, never ahead of what is read.
void layOverWhite(stbi_uc* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned alpha = pixels[4 * i + 3];
        for (int c = 0; c < 3; ++c)
            pixels[3 * i + c] = static_cast<stbi_uc>((pixels[4 * i + c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
}

// Decodes, scales and encodes; empty with `why` set when any step fails.
std::string reencoded(std::string_view bytes, bool hasAlpha, int quality, int& width, int& height, std::string& why) {
    const int channels = hasAlpha ? 4 : 3;
    int w = 0, h = 0, stored = 0;
    std::unique_ptr<stbi_uc, StbFree> pixels(stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                                                   static_cast<int>(bytes.size()), &w, &h, &stored, channels));
    if (!pixels) {
        why = std::string("the image data is damaged (") + (stbi_failure_reason() ? stbi_failure_reason() : "?") + ")";
        return std::string();
    }
    if (static_cast<long long>(w) * h > kMaxDecodedPixels) {   // a GIF frame larger than its screen, say
        why = "the image has " + sizeText(w, h);
        return std::string();
    }
    if (hasAlpha) layOverWhite(pixels.get(), static_cast<std::size_t>(w) * h);
    fittedSize(w, h, width, height);
    std::string scaled;
    const stbi_uc* source = pixels.get();
    if (width != w || height != h) {
        scaled.resize(static_cast<std::size_t>(width) * height * 3);
        auto* target = reinterpret_cast<unsigned char*>(scaled.data());
        if (!stbir_resize_uint8(source, w, h, 0, target, width, height, 0, 3)) {
            why = "scaling failed";
            return std::string();
        }
        pixels.reset();
        source = target;
    }
    std::string jpeg;
    if (!stbi_write_jpg_to_func(appendBytes, &jpeg, width, height, 3, source, quality)) jpeg.clear();
    const ImageHeader written = readImageHeader(jpeg);
    if (jpeg.empty() || !written.problem.empty() || written.width != width || written.height != height) {
        why = "JPEG encoding failed";
        return std::string();
    }
    return jpeg;
}

}  // namespace

ContactPicture makeContactPicture(std::string_view bytes, std::string_view mediaType, int jpegQuality) {
    ContactPicture picture;
    const ImageHeader header = readImageHeader(bytes);
    if (header.format == ImageFormat::Unknown) {
        picture.problem = "photo could not be converted: " + (mediaType.empty() || mediaType == "image/jpeg"
                                                                  ? std::string("unknown or damaged image data")
                                                                  : std::string(mediaType) + " is not supported");
        return picture;
    }
    const std::string format = formatName(header.format);
    const bool jpeg = header.format == ImageFormat::Jpeg;
    if (!header.problem.empty()) {
        picture.problem = (jpeg ? "photo dropped: " : "photo could not be converted: ") + header.problem;
        return picture;
    }
    const bool fits = header.width <= kMaxPictureSide && header.height <= kMaxPictureSide;
    if (jpeg && fits) {
        picture.jpeg.assign(bytes);
        return picture;
    }
    const std::string claimed = sizeText(header.width, header.height);
    if (header.width * header.height > kMaxDecodedPixels || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        // A JPEG that parses stays as it is: Outlook shows it, only larger than needed.
        if (jpeg) {
            picture.jpeg.assign(bytes);
            picture.change = "photo of " + claimed + " is too large to scale down here; kept as written";
        } else {
            picture.problem = "photo could not be converted: its " + claimed + " are more than the " +
                              std::to_string(kMaxDecodedPixels >> 20) + " Mi pixels a picture is made from";
        }
        return picture;
    }
    int width = 0, height = 0;
    std::string why;
    picture.jpeg = reencoded(bytes, !jpeg, jpegQuality, width, height, why);
    if (picture.jpeg.empty()) {
        if (jpeg) {
            picture.jpeg.assign(bytes);
            picture.change = "photo of " + claimed + " could not be scaled down (" + why + "); kept as written";
        } else {
            picture.problem = "photo could not be converted: " + why;
        }
        return picture;
    }
    const bool scaled = static_cast<long long>(width) != header.width || static_cast<long long>(height) != header.height;
    const std::string scaling = "scaled down from " + claimed + " to " + sizeText(width, height);
    if (jpeg) picture.change = "photo " + scaling;
    else picture.change = "photo converted from " + format + " to JPEG" + (scaled ? " and " + scaling : std::string());
    return picture;
}

}  // namespace contact::detail
