// REV as the modification time and KEY as the contact's certificates.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

FileTime utc(int year, int month, int day, int hour, int minute, int second) {
    return FileTime{mapi::fileTimeOfDate(year, month, day).ticks +
                    static_cast<uint64_t>(hour * 3600 + minute * 60 + second) * mapi::kFileTimeTicksPerSecond};
}

// REV in the spellings writers use; RFC 6350 6.7.4 writes it as a UTC timestamp, a zone moves it,
// a date alone is its midnight. What is not a time leaves the import time to the store, with a warning.
TEST(Revision, LastModificationTimeFromRev) {
    struct Case {
        const char* rev;
        std::optional<FileTime> expected;
    };
    const Case cases[] = {
        {"20080424T195243Z", utc(2008, 4, 24, 19, 52, 43)},
        {"2008-04-24T19:52:43Z", utc(2008, 4, 24, 19, 52, 43)},
        {"2008-04-24T19:52:43.250Z", utc(2008, 4, 24, 19, 52, 43)},
        {"2008-04-24T01:30:00+02:00", utc(2008, 4, 23, 23, 30, 0)},
        {"20080424T233000-0100", utc(2008, 4, 25, 0, 30, 0)},
        {"2008-04-24T19:52", utc(2008, 4, 24, 19, 52, 0)},
        {"2008-04-24", utc(2008, 4, 24, 0, 0, 0)},
        {"yesterday", std::nullopt},
        {"2008-04-24T25:00:00Z", std::nullopt},
        {"--0424", std::nullopt},
    };
    for (const Case& c : cases) {
        const ContactItem item = mapLines(std::string("FN:A\nREV:") + c.rev + "\n");
        EXPECT_EQ(tagValue<FileTime>(item, mapi::PidTagLastModificationTime), c.expected) << c.rev;
        EXPECT_EQ(hasWarningContaining(item, "is not a date and time"), !c.expected) << c.rev;
    }
}

std::string derSequence(std::size_t contentSize) {
    std::string der = {'\x30', '\x82', static_cast<char>(contentSize >> 8), static_cast<char>(contentSize & 0xFF)};
    for (std::size_t i = 0; i < contentSize; ++i) der.push_back(static_cast<char>(i * 7));
    return der;
}

// [MS-OXVCARD] 2.1.3.8.2: a KEY holding an X.509 certificate goes to PidTagUserX509Certificate,
// other keys are not imported (and the user is told).
TEST(Certificates, X509KeysOnlyInFileOrder) {
    const std::string first = derSequence(300), second = derSequence(280);
    const ContactItem item = mapLines("FN:A\nKEY;TYPE=X509;ENCODING=b:" + base64(first) + "\n"
                                      "KEY;TYPE=PGP;ENCODING=b:" + base64(derSequence(10)) + "\n"
                                      "KEY;ENCODING=b:" + base64("not a certificate") + "\n"
                                      "KEY:data:application/pkix-cert;base64," + base64(second) + "\n");
    const Property* p = item.properties.find(mapi::PidTagUserX509Certificate);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->value.type, mapi::kPtypMultipleBinary);
    const auto values = mapi::unpackMultiValue(p->value.type, p->value.bytes);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(std::string(values[0].begin(), values[0].end()), first);
    EXPECT_EQ(std::string(values[1].begin(), values[1].end()), second);
    EXPECT_TRUE(hasWarningContaining(item, "a PGP key is not imported"));
    EXPECT_TRUE(hasWarningContaining(item, "not an X.509 certificate"));

    const ContactItem none = mapLines("FN:A\nKEY;TYPE=X509;ENCODING=b:" + base64(first.substr(0, 100)) + "\n");
    EXPECT_FALSE(none.properties.contains(mapi::PidTagUserX509Certificate));   // truncated: not one whole DER value
}

}  // namespace
}  // namespace contact::testing
