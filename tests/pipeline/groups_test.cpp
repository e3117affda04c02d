// Groups of an import written as distribution lists into a real store: a group that comes before
// the contacts it names links to them once they are stored, its other members stay one-off
// addresses, and the file passes the structural checker and reads back in every reader
// (readpst skips lists, its own limit, and exports the contacts).
#include <gtest/gtest.h>

#include "contact/distribution_list.h"
#include "messaging_support.h"
#include "pipeline/open_store.h"
#include "pst/messaging/entry_id.h"
#include "readers.h"
#include "vcard/reader.h"

namespace pipeline {
namespace {

using messaging_test::FileNodes;
using messaging_test::ScratchDir;

const std::string kPsetidAddress = "{00062004-0000-0000-C000-000000000046}";

// Groups first, each naming a contact further on (by urn:uuid in either case, or by the bare UID
// Apple writes on the card), plus a mailto: member and a card the import never sees.
constexpr const char* kCards =
    "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:The Team\r\n"
    "MEMBER:urn:uuid:0A6E1F3C-0000-4000-8000-00000000A11E\r\nMEMBER:mailto:carol@example.com\r\n"
    "MEMBER:urn:uuid:0A6E1F3C-0000-4000-8000-0000000000FF\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Friends\r\nN:Friends\r\nX-ADDRESSBOOKSERVER-KIND:group\r\n"
    "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:b0b0b0b0-1111-2222-3333-444444444444\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Example\r\nN:Example;Ann;;;\r\nEMAIL:ann@example.com\r\n"
    "UID:urn:uuid:0a6e1f3c-0000-4000-8000-00000000a11e\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob Sample\r\nN:Sample;Bob;;;\r\nEMAIL:bob@example.com\r\n"
    "UID:B0B0B0B0-1111-2222-3333-444444444444\r\nEND:VCARD\r\n";

std::vector<std::string> entriesOf(const std::string& hexValue) {
    std::vector<uint8_t> bytes = *pst::messaging::fromHex(hexValue);
    std::vector<std::string> entries;
    for (const auto& e : mapi::unpackMultiValue(mapi::kPtypMultipleBinary, bytes)) entries.emplace_back(e.begin(), e.end());
    return entries;
}

// The NID of the contact a wrapped member points at, when it points into this store.
std::optional<pst::Nid> linkedNid(const std::string& member, const pst::messaging::StoreUid& uid) {
    const std::string wrapper = contact::wrappedContactEntryId({});
    if (member.size() != wrapper.size() + pst::messaging::kEntryIdSize || member.compare(0, wrapper.size(), wrapper) != 0)
        return std::nullopt;
    const auto* id = reinterpret_cast<const uint8_t*>(member.data() + wrapper.size());
    auto parsed = pst::messaging::parseEntryId({id, pst::messaging::kEntryIdSize});
    if (!parsed || parsed->uid != uid) return std::nullopt;
    return parsed->nid;
}

std::string oneOffAddress(const std::string& member) {
    return contact::oneOffMember({"", "mailto:" + member}).member;
}

TEST(Groups, ListsWrittenAtTheEndLinkTheirContactsAndReadBackEverywhere) {
    ScratchDir dir;
    const std::string path = dir.file("groups.pst");
    pst::messaging::StoreOptions options;
    options.uid = messaging_test::fixedUid();
    {
        auto store = OpenStore::create(path, "Groups", options);
        const pst::Nid folder = store->createFolder(store->store().ipmSubtree(), "Contacts", "IPF.Contact");
        for (const vcard::Card& card : vcard::parseBuffer(kCards)) store->addContact(folder, contact::mapCard(card, {}));
        EXPECT_EQ(store->messagesSaved(), 4);   // the held lists count as saved
        store->detach();
        EXPECT_EQ(store->messagesSaved(), 4);
        EXPECT_EQ(store->messagesOnDisk(), 4);
    }
    messaging_test::expectStructurallySound(path);

    zentra::readers::ReaderOptions readerOptions;
    readerOptions.timeout = std::chrono::seconds(120);
    int ran = 0;
    for (const zentra::readers::ReaderView& view : zentra::readers::readWithAll(path, readerOptions)) {
        if (view.skipped) continue;
        ++ran;
        SCOPED_TRACE(view.reader);
        ASSERT_TRUE(view.ok) << view.error;
        if (view.reader == "libpst") {
            // libpst knows no distribution lists: readpst skips Outlook's own (dist-list.pst) the
            // same way, and must still export both contacts.
            ASSERT_TRUE(view.listed.count("Contacts"));
            EXPECT_EQ(view.listed.at("Contacts").size(), 2u) << view.output;
            EXPECT_EQ(view.warnings, std::vector<std::string>{"readpst skipped 2 items in \"Contacts\""});
            continue;
        }
        const zentra::readers::FolderView* contacts = view.folderAt("Contacts");
        ASSERT_NE(contacts, nullptr);
        ASSERT_EQ(contacts->itemCount, 4u);
        std::map<std::string, const zentra::readers::ItemView*> lists;
        for (const auto& item : contacts->items)
            if (item.field("messageClass") == "IPM.DistList") lists[item.field("displayName")] = &item;
        ASSERT_EQ(lists.size(), 2u);
        ASSERT_TRUE(lists.count("The Team") && lists.count("Friends"));
        if (view.reader == "pst-extractor") {   // counts of both member lists, no raw values
            EXPECT_EQ(lists.at("The Team")->field("distListMembers"), "3");
            EXPECT_EQ(lists.at("The Team")->field("distListOneOffMembers"), "3");
            EXPECT_EQ(lists.at("Friends")->field("distListMembers"), "1");
            continue;
        }

        const std::string membersKey = view.reader == "pypff" ? kPsetidAddress + "/0x8055" : "named:0x8055";
        const std::string oneOffsKey = view.reader == "pypff" ? kPsetidAddress + "/0x8054" : "named:0x8054";
        const auto team = entriesOf(lists.at("The Team")->props.at(membersKey));
        ASSERT_EQ(team.size(), 3u);
        const auto teamOneOffs = entriesOf(lists.at("The Team")->props.at(oneOffsKey));
        ASSERT_EQ(teamOneOffs.size(), 3u);
        EXPECT_EQ(team[1], oneOffAddress("carol@example.com"));
        EXPECT_EQ(teamOneOffs[1], team[1]);
        EXPECT_EQ(team[2], contact::oneOffMember({"", "urn:uuid:0A6E1F3C-0000-4000-8000-0000000000FF"}).member);
        const auto friends = entriesOf(lists.at("Friends")->props.at(membersKey));
        ASSERT_EQ(friends.size(), 1u);

        // The links point at the contacts themselves, and the one-offs beside them name their addresses.
        FileNodes file(path);
        const std::optional<pst::Nid> ann = linkedNid(team[0], *options.uid);
        const std::optional<pst::Nid> bob = linkedNid(friends[0], *options.uid);
        ASSERT_TRUE(ann && bob);
        EXPECT_EQ(messaging_test::text(file.pc(*ann).at(mapi::PidTagDisplayName.id)), "Ann Example");
        EXPECT_EQ(messaging_test::text(file.pc(*bob).at(mapi::PidTagDisplayName.id)), "Bob Sample");
        EXPECT_NE(teamOneOffs[0].find(std::string("a\0n\0n\0@\0", 8)), std::string::npos);
    }
    EXPECT_GE(ran, 3);
}

}  // namespace
}  // namespace pipeline
