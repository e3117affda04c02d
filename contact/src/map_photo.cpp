// The contact photo as Outlook keeps it: one hidden attachment "ContactPicture.jpg" flagged as the
// contact photo ([MS-OXOCNTC] 2.2.1.8.3), made from the first of the card's photos (preferred
// first) that gives a picture (photo_image.h); every photo dropped or changed is reported.
#include "mapping_context.h"
#include "photo_image.h"

namespace contact::detail {

namespace {

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
    const std::vector<vcard::Photo> photos = ctx.card.photos();
    const vcard::Photo* link = nullptr;   // the first photo given by a link, never downloaded
    for (const vcard::Photo& photo : photos) {
        if (photo.bytes.empty()) {
            if (!link) link = &photo;
            continue;
        }
        ContactPicture picture = makeContactPicture(photo.bytes, photo.mediaType, ctx.options.jpegQuality);
        if (picture.jpeg.empty()) {
            ctx.warn(photo.line, "PHOTO", std::move(picture.problem));
            continue;   // the next photo may do
        }
        if (!picture.change.empty()) ctx.warn(photo.line, "PHOTO", std::move(picture.change));
        ctx.item.attachments.push_back(photoAttachment(std::move(picture.jpeg)));
        ctx.setNamed(lid::kHasPicture, true);
        ctx.set(tag::kHasAttachments, true);
        return;
    }
    if (link) {
        ctx.addDetail("Photo (link)", link->url);
        ctx.warn(link->line, "PHOTO", "photo given by a link is not downloaded");
    }
}

}  // namespace contact::detail
