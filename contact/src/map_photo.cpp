// The contact photo as Outlook keeps it: one hidden attachment "ContactPicture.jpg" flagged as the
// contact photo ([MS-OXOCNTC] 2.2.1.8.3). JPEG data is kept byte for byte; PNG, GIF (first frame)
// and BMP are decoded and written again as JPEG; other formats are reported, not imported.
// Transparent pixels are laid over white, since JPEG has no alpha channel.
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <climits>

#include "mapping_context.h"

namespace contact::detail {

namespace {

constexpr long long kMaxPixels = 64LL * 1024 * 1024;   // refuse images that would need gigabytes

bool isJpeg(const std::string& bytes) { return bytes.size() >= 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0; }

// Only the formats address books write are decoded; stb_image's rarer decoders (PSD, PIC, HDR,
// PNM, TGA) never see data from a vCard.
bool isConvertible(const std::string& b) {
    const auto starts = [&](std::string_view magic) { return b.size() >= magic.size() && b.compare(0, magic.size(), magic) == 0; };
    return starts("\x89PNG\r\n\x1A\n") || starts("GIF87a") || starts("GIF89a") || starts("BM");
}

void appendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// Re-encodes an image as JPEG; empty with `why` set when it cannot.
std::string convertedToJpeg(const std::string& bytes, int quality, std::string& why) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        why = "photo too large to convert";
        return std::string();
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
        why = "photo could not be converted: unknown or damaged image data";
        return std::string();
    }
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels) {
        why = "photo could not be converted: image dimensions out of range";
        return std::string();
    }
    stbi_uc* rgba = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
    if (!rgba) {
        why = std::string("photo could not be converted: ") + (stbi_failure_reason() ? stbi_failure_reason() : "");
        return std::string();
    }
    std::string rgb(static_cast<std::size_t>(width) * height * 3, '\0');
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
        const unsigned alpha = rgba[4 * i + 3];
        for (int c = 0; c < 3; ++c)
            rgb[3 * i + c] = static_cast<char>((rgba[4 * i + c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
    stbi_image_free(rgba);
    std::string jpeg;
    if (!stbi_write_jpg_to_func(appendBytes, &jpeg, width, height, 3, rgb.data(), quality) || jpeg.empty()) {
        why = "photo could not be converted: JPEG encoding failed";
        return std::string();
    }
    return jpeg;
}

Attachment photoAttachment(std::string jpeg) {
    const std::string name = "ContactPicture.jpg";
    Attachment a;
    PropertyList& p = a.properties;
    p.set(tagKey(tag::kAttachmentContactPhoto), true);
    p.set(tagKey(tag::kAttachMethod), int32_t{1});   // ATTACH_BY_VALUE
    p.set(tagKey(tag::kAttachDataBinary), Binary{std::move(jpeg)});
    p.set(tagKey(tag::kAttachExtension), std::string(".jpg"));
    p.set(tagKey(tag::kAttachFilename), name);
    p.set(tagKey(tag::kAttachLongFilename), name);
    p.set(tagKey(tag::kDisplayName), name);
    p.set(tagKey(tag::kAttachMimeTag), std::string("image/jpeg"));
    p.set(tagKey(tag::kAttachmentHidden), true);
    p.set(tagKey(tag::kRenderingPosition), int32_t{-1});   // 0xFFFFFFFF: not rendered in the body
    return a;
}

}  // namespace

void mapPhoto(MappingContext& ctx) {
    const std::optional<vcard::Photo> photo = ctx.card.photo();
    if (!photo) return;
    const vcard::Property* source = ctx.card.first("PHOTO");
    const std::size_t line = source ? source->line : 0;
    if (photo->bytes.empty()) {
        if (!photo->url.empty()) {
            ctx.addDetail("Photo (link)", photo->url);
            ctx.warn(line, "PHOTO", "photo given by a link is not downloaded");
        }
        return;
    }
    std::string jpeg;
    if (isJpeg(photo->bytes)) {
        jpeg = photo->bytes;
    } else if (!isConvertible(photo->bytes)) {
        ctx.warn(line, "PHOTO",
                 "photo could not be converted: " +
                     (photo->mediaType.empty() ? std::string("unknown or damaged image data")
                                               : photo->mediaType + " is not supported"));
        return;
    } else {
        std::string why;
        jpeg = convertedToJpeg(photo->bytes, ctx.options.jpegQuality, why);
        if (jpeg.empty()) {
            ctx.warn(line, "PHOTO", why);
            return;
        }
    }
    ctx.item.attachments.push_back(photoAttachment(std::move(jpeg)));
    ctx.setNamed(lid::kHasPicture, true);
    ctx.set(tag::kHasAttachments, true);
}

}  // namespace contact::detail
