// The contact photo as Outlook keeps it: one hidden attachment "ContactPicture.jpg" flagged as the
// contact photo ([MS-OXOCNTC] 2.2.1.8.3), made from the first of the card's photos (preferred
// first) that gives a picture (photo_image.h); every photo dropped or changed is reported.
#include "mapping_context.h"
#include "photo_image.h"

namespace contact::detail {

namespace {

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
        ctx.item.attachments.push_back(photoAttachment(picture.jpeg));
        ctx.set(mapi::PidLidHasPicture, mapi::boolValue(true));
        return;
    }
    if (link) {
        ctx.addDetail("Photo (link)", link->url);
        ctx.warn(link->line, "PHOTO", "photo given by a link is not downloaded");
    }
}

}  // namespace contact::detail
