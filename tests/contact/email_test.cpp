// E-mail slots, their one-off entry ids, fax addresses and the address-book provider lists.
#include "contact/one_off_entry_id.h"
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

std::vector<std::string> utf16Strings(std::string_view id, std::size_t from) {
    std::vector<std::string> out;
    std::string current;
    for (std::size_t i = from; i + 1 < id.size(); i += 2) {
        if (id[i] == 0 && id[i + 1] == 0) {
            out.push_back(current);
            current.clear();
        } else {
            current += id.substr(i, 2);
        }
    }
    return out;
}

TEST(EmailSlots, PreferredFirstThenFileOrderWithAllSlotProperties) {
    const ContactItem item = mapLines(
        "FN:John Doe\nEMAIL;TYPE=INTERNET:one@example.com\nEMAIL;TYPE=INTERNET,pref:pref@example.com\n"
        "EMAIL:three@example.com\nEMAIL:four@example.com\n");
    EXPECT_EQ(namedText(item, 0x8083), "pref@example.com");
    EXPECT_EQ(namedText(item, 0x8093), "one@example.com");
    EXPECT_EQ(namedText(item, 0x80A3), "three@example.com");
    for (uint32_t base : {0x8080u, 0x8090u, 0x80A0u}) {
        const std::string address = namedText(item, base + 3).value_or("?");
        EXPECT_EQ(namedText(item, base), "John Doe (" + address + ")");
        EXPECT_EQ(namedText(item, base + 2), "SMTP");
        EXPECT_EQ(namedText(item, base + 4), address);
        const auto id = namedValue<Binary>(item, base + 5);
        ASSERT_TRUE(id);
        EXPECT_EQ(id->bytes, makeOneOffEntryId("John Doe (" + address + ")", "SMTP", address, 0x9001));
    }
    EXPECT_NE(body(item).find("More contact details:\r\nE-mail: four@example.com"), std::string::npos);
    EXPECT_EQ(namedValue<std::vector<int32_t>>(item, mapi::PidLidAddressBookProviderEmailList),
              (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(namedValue<int32_t>(item, mapi::PidLidAddressBookProviderArrayType), 0x07);
}

TEST(EmailSlots, EntryIdIsUnicodeWithUtf16Strings) {
    const ContactItem item = mapLines("FN:J\xC3\xB6rg \xF0\x9F\x98\x80\nEMAIL:j@example.com\n");
    const auto id = namedValue<Binary>(item, mapi::PidLidEmail1OriginalEntryId);
    ASSERT_TRUE(id);
    ASSERT_GE(id->bytes.size(), 24u);
    EXPECT_EQ(id->bytes.substr(0, 4), std::string(4, '\0'));
    EXPECT_EQ(id->bytes.substr(4, 16), std::string(reinterpret_cast<const char*>(kOneOffProviderUid), 16));
    EXPECT_EQ(id->bytes.substr(20, 2), std::string(2, '\0'));
    const uint16_t flags = static_cast<uint8_t>(id->bytes[22]) | static_cast<uint8_t>(id->bytes[23]) << 8;
    EXPECT_EQ(flags & 0x8000, 0x8000) << "Unicode strings";
    EXPECT_EQ(flags & 0x0001, 0x0001) << "Internet recipient: MIME, not TNEF";
    const std::vector<std::string> strings = utf16Strings(id->bytes, 24);
    ASSERT_EQ(strings.size(), 3u);
    EXPECT_EQ(strings[0], utf16le("J\xC3\xB6rg \xF0\x9F\x98\x80 (j@example.com)"));
    EXPECT_EQ(strings[1], utf16le("SMTP"));
    EXPECT_EQ(strings[2], utf16le("j@example.com"));
}

TEST(EmailSlots, DuplicatesAndTelexAreNotAddresses) {
    const ContactItem item = mapText(card(
        "FN:Ann\nEMAIL;INTERNET:ann@example.com\nEMAIL;HOME:ANN@example.com\nEMAIL;TLX:12345\n", "2.1"));
    EXPECT_EQ(namedText(item, 0x8083), "ann@example.com");
    EXPECT_FALSE(namedText(item, 0x8093));
    EXPECT_EQ(tagText(item, mapi::PidTagTelexNumber), "12345");
    EXPECT_EQ(namedValue<int32_t>(item, mapi::PidLidAddressBookProviderArrayType), 0x01);
}

// A few addresses are compared one by one and many through a set of their folded forms: either
// way an address differing from an earlier one only in ASCII case is dropped.
TEST(EmailSlots, DuplicatesDroppedAmongFewAndMany) {
    std::string lines = "FN:Ann\n";
    for (int i = 0; i < 12; ++i) lines += "EMAIL:a" + std::to_string(i) + "@example.com\n";
    lines += "EMAIL:A1@Example.COM\nEMAIL:A10@example.COM\nEMAIL:A11@EXAMPLE.com\n"
             "EMAIL:a12@example.com\nEMAIL:A12@example.com\n";
    const ContactItem item = mapLines(lines);
    EXPECT_EQ(namedText(item, 0x8083), "a0@example.com");
    EXPECT_EQ(namedText(item, 0x80A3), "a2@example.com");
    const std::string text = body(item);
    std::size_t listed = 0;
    for (std::size_t at = text.find("E-mail: "); at != std::string::npos; at = text.find("E-mail: ", at + 1)) ++listed;
    EXPECT_EQ(listed, 10u) << text;   // a3..a12, each once
    EXPECT_NE(text.find("E-mail: a12@example.com"), std::string::npos);
    EXPECT_EQ(text.find("E-mail: A"), std::string::npos) << text;
}

TEST(EmailSlots, AddressAloneWhenItIsTheName) {
    const ContactItem item = mapLines("EMAIL:solo@example.com\n");
    EXPECT_EQ(namedText(item, 0x8080), "solo@example.com");
}

TEST(FaxAddresses, JoinTheProviderListsNextToEmail) {
    const ContactItem item = mapLines(
        "FN:Ann Lee\nEMAIL:ann@example.com\nTEL;TYPE=work,fax:+1 555 0100\nTEL;TYPE=home,fax:+1 555 0200\n");
    EXPECT_EQ(namedText(item, 0x80B2), "FAX");
    EXPECT_EQ(namedText(item, 0x80B3), "Ann Lee@+1 555 0100");
    EXPECT_EQ(namedText(item, 0x80B4), tagText(item, mapi::PidTagNormalizedSubject));
    const auto faxId = namedValue<Binary>(item, 0x80B5);
    ASSERT_TRUE(faxId);
    EXPECT_EQ(faxId->bytes, makeOneOffEntryId("Ann Lee", "FAX", "Ann Lee@+1 555 0100", 0x9000));
    EXPECT_EQ(namedText(item, 0x80C3), "Ann Lee@+1 555 0200");
    EXPECT_FALSE(namedText(item, 0x80D3));
    EXPECT_EQ(namedValue<std::vector<int32_t>>(item, mapi::PidLidAddressBookProviderEmailList),
              (std::vector<int32_t>{0, 3, 4}));
    EXPECT_EQ(namedValue<int32_t>(item, mapi::PidLidAddressBookProviderArrayType), 0x01 | 0x08 | 0x10);

    const ContactItem otherFax = mapLines("FN:B\nTEL;TYPE=fax:555\n");
    EXPECT_EQ(namedText(otherFax, 0x80D3), "B@555");
    EXPECT_EQ(namedValue<std::vector<int32_t>>(otherFax, mapi::PidLidAddressBookProviderEmailList),
              (std::vector<int32_t>{5}));
    EXPECT_EQ(namedValue<int32_t>(otherFax, mapi::PidLidAddressBookProviderArrayType), 0x20);
}

TEST(FaxAddresses, NeitherProviderPropertyWithoutAddresses) {
    const ContactItem item = mapLines("FN:Ann\nTEL;TYPE=home:555\n");
    EXPECT_FALSE(item.properties.contains(mapi::PidLidAddressBookProviderEmailList));
    EXPECT_FALSE(item.properties.contains(mapi::PidLidAddressBookProviderArrayType));
}


// [MS-OXVCARD] EMAIL import: the first TYPE the document knows decides; "im" makes the address
// the contact's instant-messaging address instead of an e-mail slot.
TEST(EmailSlots, ImTypedAddressesAreInstantMessaging) {
    struct Case {
        const char* lines;
        const char* im;          // PidLidInstantMessagingAddress, "" for none
        const char* email1;      // PidLidEmail1EmailAddress, "" for none
        const char* inNotes;     // a further IM address, "" for none
    };
    const Case cases[] = {
        {"EMAIL;TYPE=im:ann@chat.example", "ann@chat.example", "", ""},
        {"EMAIL;TYPE=IM,INTERNET:ann@chat.example", "ann@chat.example", "", ""},
        {"EMAIL;TYPE=internet,im:ann@mail.example", "", "ann@mail.example", ""},
        {"EMAIL;TYPE=im:a@chat.example\nEMAIL:b@mail.example", "a@chat.example", "b@mail.example", ""},
        {"IMPP:xmpp:x@jabber.example\nEMAIL;TYPE=im:a@chat.example", "x@jabber.example", "", "IM: a@chat.example"},
    };
    for (const Case& c : cases) {
        const std::string lines = c.lines;
        const ContactItem item = mapLines("FN:Ann\n" + lines + "\n");
        EXPECT_EQ(namedText(item, mapi::PidLidInstantMessagingAddress).value_or(""), c.im) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidEmail1EmailAddress).value_or(""), c.email1) << c.lines;
        if (*c.inNotes) {
            EXPECT_NE(body(item).find(c.inNotes), std::string::npos) << c.lines;
        }
        if (!*c.email1) {
            EXPECT_FALSE(namedValue<int32_t>(item, mapi::PidLidAddressBookProviderArrayType)) << c.lines;
        }
    }
}

}  // namespace
}  // namespace contact::testing
