// The contact photo: JPEG kept byte for byte, other formats re-encoded as JPEG, damaged data
// reported, links not followed.
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

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
    for (const PropertyKey key : {PropertyKey(mapi::PidTagAttachNumber), PropertyKey(mapi::PidTagAttachMethod),
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

}  // namespace
}  // namespace contact::testing
