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

// The attachment's number, method (by value) and rendering position are the store's to set
// (pst/messaging/src/message_writer.cpp), as are the message's has-attachments flags.
Attachment photoAttachment(const std::string& jpeg) {
    const std::string_view name = "ContactPicture.jpg";
    Attachment a;
    PropertyList& p = a.properties;
    p.set(mapi::PidTagAttachmentContactPhoto, mapi::boolValue(true));
    p.set(mapi::PidTagAttachDataBinary, mapi::binaryValueOf(jpeg));
    p.set(mapi::PidTagAttachExtension, mapi::stringValue(".jpg"));
    p.set(mapi::PidTagAttachFilename, mapi::stringValue(name));
    p.set(mapi::PidTagAttachLongFilename, mapi::stringValue(name));
    p.set(mapi::PidTagDisplayName, mapi::stringValue(name));
    p.set(mapi::PidTagAttachMimeTag, mapi::stringValue("image/jpeg"));
    p.set(mapi::PidTagAttachmentHidden, mapi::boolValue(true));
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
    ctx.item.attachments.push_back(photoAttachment(jpeg));
    ctx.set(mapi::PidLidHasPicture, mapi::boolValue(true));
}

}  // namespace contact::detail
