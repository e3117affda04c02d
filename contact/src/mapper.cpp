// mapCard: one card to one contact item, family by family; importFile: every card of a file.
#include "contact/mapper.h"

#include "contact/distribution_list.h"
#include "mapping_context.h"
#include "zentra/error.h"

namespace contact {
namespace {

// The parser's warnings about a card, and about the cards embedded in its AGENT properties:
// an agent's problems (such as agents nested too deep to be read) are the contact's too.
void copyParserWarnings(const vcard::Card& card, ContactItem& item) {
    for (const vcard::Warning& w : card.warnings)
        item.warnings.push_back(Warning{Warning::Source::Parser, w.line, w.property, w.message});
    for (const vcard::Card& agent : card.agents) copyParserWarnings(agent, item);
}

}  // namespace

ContactItem mapCard(const vcard::Card& card, const MapOptions& options) {
    ContactItem item;
    mapCard(card, options, item);
    return item;
}

void mapCard(const vcard::Card& card, const MapOptions& options, ContactItem& item) {
    item.reset();
    item.properties.reserve(96);   // a well-filled card gives 60-90 properties
    copyParserWarnings(card, item);

    detail::MappingContext ctx{card, options, item, {}, {}, {}, {}};
    if (isGroupCard(card)) {
        detail::mapGroup(ctx);
        return;
    }
    item.uid = normalizedUid(card.uid());
    ctx.setString(mapi::PidTagMessageClass, "IPM.Contact");
    detail::mapNames(ctx);
    detail::mapPhones(ctx);    // before e-mail: fax numbers also become fax addresses
    detail::mapEmails(ctx);
    detail::mapAddresses(ctx);
    detail::mapDates(ctx);
    detail::mapPersonal(ctx);
    detail::mapPhoto(ctx);
    detail::mapCertificates(ctx);
    detail::mapRevision(ctx);
    detail::mapNotes(ctx);     // last: the other mappers add to its details block
    // Message flags, the attachment flags and the creation time are the store's to decide: it
    // knows what it writes and when (pst/messaging/src/message_writer.cpp). The modification
    // time too, unless the card's REV gave it.
}

std::size_t importFile(const std::filesystem::path& path, const MapOptions& options,
                       const std::function<void(ContactItem&&)>& onItem, std::vector<Warning>* fileWarnings) {
    MapOptions fileOptions = options;
    fileOptions.sourceName = path.stem().string();
    vcard::Reader reader = vcard::Reader::openFile(path, fileOptions.reader);
    std::size_t count = 0;
    for (;;) {
        vcard::Card card;
        if (!reader.next(card)) break;
        ++count;
        onItem(mapCard(card, fileOptions));
    }
    if (fileWarnings)
        for (const vcard::Warning& w : reader.fileWarnings())
            fileWarnings->push_back(Warning{Warning::Source::Parser, w.line, w.property, w.message});
    if (count == 0) throw zentra::Error(zentra::kErrImportFailed, "no vCard found in " + path.string());
    return count;
}

}  // namespace contact
