// vCard -> our .pst -> the independent readers: the project's own small vCards (two people in
// one file, every field the readers can show) imported through the components, then read back
// by readpst, pypff (raw tags, types, GUIDs and LIDs through the decoded name-to-ID map, the
// photo attachment), pffexport (Contact.txt and the exported photo file) and pst-extractor.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "contact/properties.h"
#include "contact_item_support.h"
#include "mailstore/factories.h"
#include "readers.h"

using namespace zentra;
using namespace zentra::mailstore;
using namespace contact_item_test;
using zentra::readers::ReaderView;

namespace {

constexpr const char* kStoreName = "Round trip";
const std::string kAddress = "{00062004-0000-0000-C000-000000000046}";
const std::string kPublicStrings = "{00020329-0000-0000-C000-000000000046}";

// The store every test here reads: written once, from tests/mailstore/data/two_people.vcf.
class ContactRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::path(ZENTRA_BINARY_DIR) / "test-scratch" / "ContactRoundTrip";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "roundtrip.pst").string();
        auto session = createSession();
        session->Logon();
        auto store = session->Stores()->AddPSTStore(path_, 1, kStoreName);
        auto folder = store->IPMRootFolder()->Folders()->Add("Friends", kFolderTypeContacts);
        auto item = folder->Items()->Add(kItemTypeContact);
        item->Import(dataFile("two_people.vcf").string(), kImportFormatVCard);
        item->Save();
        store->Remove();
        session->Logoff();
    }
    static void TearDownTestSuite() {
        // Kept for inspection after a failure, or when ZENTRA_KEEP_SCRATCH is set.
        if (!failed_ && !std::getenv("ZENTRA_KEEP_SCRATCH")) fs::remove_all(dir_);
    }
    void TearDown() override { failed_ |= HasFailure(); }

    static fs::path dir_;
    static std::string path_;
    static bool failed_;
};

fs::path ContactRoundTrip::dir_;
std::string ContactRoundTrip::path_;
bool ContactRoundTrip::failed_ = false;

std::string utf16Hex(const std::string& ascii) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : ascii) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += "00";
    }
    return out;
}

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

const readers::ItemView* itemWith(const readers::FolderView& folder, const std::string& field, const std::string& value) {
    for (const auto& item : folder.items)
        if (item.field(field) == value) return &item;
    return nullptr;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) out.push_back(line);
    return out;
}

}  // namespace

TEST_F(ContactRoundTrip, StoreIsStructurallySound) { messaging_test::expectStructurallySound(path_); }

// readpst -r -tc -cv: the fields libpst writes back (FN is File As there), compared line by
// line with what the cards say.
TEST_F(ContactRoundTrip, ReadpstWritesTheCardsBack) {
    fs::path out = dir_ / "readpst";
    fs::create_directories(out);
    auto run = readers::runProcess({"readpst", "-q", "-r", "-tc", "-cv", "-o", out.string(), path_},
                                   std::chrono::seconds(60));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    fs::path contacts = out / kStoreName / "Friends" / "contacts";
    ASSERT_TRUE(fs::exists(contacts)) << "readpst wrote no contacts file for Friends";
    std::vector<std::string> cards[2];
    int card = -1;
    for (const std::string& line : lines(readBytes(contacts))) {
        if (line == "BEGIN:VCARD") ++card;
        else if (card >= 0 && card < 2 && line != "END:VCARD" && !line.empty()) cards[card].push_back(line);
    }
    ASSERT_EQ(card, 1) << "two contacts expected";

    const std::set<std::string> astrid(cards[0].begin(), cards[0].end());
    for (const char* expected : {
             "FN:Lindqvist\\, Astrid Maria",
             "N:Lindqvist;Astrid;Maria;Dr.;PhD",
             "NICKNAME:Asti",
             "BDAY:1975-04-23T00:00:00Z",
             "ADR;TYPE=home:;;Storgatan 12;Uppsala;Uppsala län;753 20;Sweden",
             "ADR;TYPE=postal:PO Box 77;;Gruvvägen 1;Kiruna;Norrbotten;981 21;Sweden",
             "TEL;TYPE=work,voice:+46 8 100 1001",
             "TEL;TYPE=work,voice:+46 8 100 1002",
             "TEL;TYPE=home,voice:+46 8 200 2001",
             "TEL;TYPE=home,voice:+46 8 200 2002",
             "TEL;TYPE=cell,voice:+46 70 300 3003",
             "TEL;TYPE=car,voice:+46 70 400 4004",
             "TEL;TYPE=isdn:+46 8 500 5005",
             "TEL;TYPE=pager:+46 74 600 6006",
             "TEL;TYPE=work,fax:+46 8 100 1009",
             "TEL;TYPE=home,fax:+46 8 200 2009",
             "TEL;TYPE=fax,pref:+46 8 700 7009",
             "TEL;TYPE=pcs:+46 70 800 8008",
             // The preferred voice number takes Other first ([MS-OXVCARD] TEL rules); the msg
             // number finds Other taken and goes to the notes.
             "TEL;TYPE=msg:+46 8 111 1111",
             "TEL;TYPE=bbs:+46 8 222 2222",
             "TITLE:Head of Optics",
             "ROLE:Physicist",
             "ORG:Nordlicht Instruments",
             "NOTE:Prefers e-mail.\\nMet at the optics fair\\, 2019.\\n\\nMore contact details:\\nPhone (msg): +46 8 900 9009",
         })
        EXPECT_TRUE(astrid.count(expected)) << "readpst did not write " << expected;
    // The three e-mail addresses in PREF order, then file order.
    std::vector<std::string> emails;
    for (const std::string& line : cards[0])
        if (line.rfind("EMAIL", 0) == 0) emails.push_back(line);
    EXPECT_EQ(emails, (std::vector<std::string>{"EMAIL:astrid.lindqvist@nordlicht.example",
                                                "EMAIL:astrid@home.example", "EMAIL:a.lindqvist@other.example"}));

    const std::set<std::string> chidi(cards[1].begin(), cards[1].end());
    for (const char* expected : {"FN:Okafor\\, Chidi", "N:Okafor;Chidi;;;", "EMAIL:chidi@okafor.example",
                                 "TEL;TYPE=work,voice:+234 1 555 0100", "ORG:Okafor Logistics"})
        EXPECT_TRUE(chidi.count(expected)) << "readpst did not write " << expected;
}

// pypff: raw tags and types, named properties with their GUIDs and LIDs from the decoded map.
TEST_F(ContactRoundTrip, PypffShowsExactTagsTypesAndNamedProperties) {
    ReaderView view = readers::readWithPypff(path_);
    if (view.skipped) GTEST_SKIP() << view.error;
    ASSERT_TRUE(view.ok) << view.error;
    const readers::FolderView* folder = view.folderAt("Friends");
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->itemCount, 2u);
    const readers::ItemView* astrid = itemWith(*folder, "surname", "Lindqvist");
    ASSERT_NE(astrid, nullptr);

    EXPECT_EQ(astrid->props.at("0x001a001f"), utf16Hex("IPM.Contact"));
    EXPECT_EQ(astrid->props.at("0x3a06001f"), utf16Hex("Astrid"));
    EXPECT_EQ(astrid->props.at("0x3a44001f"), utf16Hex("Maria"));
    EXPECT_EQ(astrid->props.at("0x3a45001f"), utf16Hex("Dr."));
    EXPECT_EQ(astrid->props.at("0x3a05001f"), utf16Hex("PhD"));
    EXPECT_EQ(astrid->props.at("0x3a4f001f"), utf16Hex("Asti"));
    EXPECT_EQ(astrid->props.at("0x3a16001f"), utf16Hex("Nordlicht Instruments"));
    EXPECT_EQ(astrid->props.at("0x3a18001f"), utf16Hex("Research"));
    EXPECT_EQ(astrid->props.at("0x3a17001f"), utf16Hex("Head of Optics"));
    EXPECT_EQ(astrid->props.at("0x3a46001f"), utf16Hex("Physicist"));
    EXPECT_TRUE(astrid->props.count("0x3a420040")) << "PidTagBirthday as PtypTime";
    EXPECT_TRUE(astrid->props.count("0x1000001f")) << "PidTagBody as Unicode";
    EXPECT_EQ(astrid->props.at("0x0e1b000b"), "01") << "PidTagHasAttachments";

    // Named properties: the right set and LID, every string Unicode.
    EXPECT_EQ(astrid->props.at(kAddress + "/0x8005"), utf16Hex("Lindqvist, Astrid Maria"));
    EXPECT_EQ(astrid->props.at(kAddress + "/0x8083"), utf16Hex("astrid.lindqvist@nordlicht.example"));
    EXPECT_EQ(astrid->props.at(kAddress + "/0x8093"), utf16Hex("astrid@home.example"));
    EXPECT_EQ(astrid->props.at(kAddress + "/0x80A3"), utf16Hex("a.lindqvist@other.example"));
    EXPECT_EQ(astrid->props.at(kAddress + "/0x8082"), utf16Hex("SMTP"));
    EXPECT_EQ(astrid->props.at(kAddress + "/0x8015"), "01") << "PidLidHasPicture";
    EXPECT_TRUE(astrid->props.count(kAddress + "/0x801A")) << "PidLidHomeAddress";
    EXPECT_TRUE(astrid->props.count(kAddress + "/0x801C")) << "PidLidOtherAddress";
    EXPECT_TRUE(astrid->props.count(kAddress + "/0x8006")) << "PidLidFileUnderId";

    std::optional<uint16_t> keywordsId, fileUnderId;
    for (const auto& named : view.namedProps) {
        if (named.name == "Keywords") {
            EXPECT_EQ(named.guid, kPublicStrings);
            keywordsId = named.npid;
        }
        if (named.lid == 0x8005u) {
            EXPECT_EQ(named.guid, kAddress);
            fileUnderId = named.npid;
        }
        if (named.lid) {
            EXPECT_EQ(named.guid, kAddress) << "LID 0x" << std::hex << *named.lid;
        }
    }
    ASSERT_TRUE(keywordsId.has_value());
    ASSERT_TRUE(fileUnderId.has_value());
    char keywordsKey[16];
    std::snprintf(keywordsKey, sizeof keywordsKey, "0x%04x101f", *keywordsId);
    EXPECT_TRUE(astrid->props.count(keywordsKey)) << "Keywords as PtypMultipleString (0x101F)";
    EXPECT_EQ(astrid->props.at(kPublicStrings + "/Keywords"), astrid->props.at(keywordsKey));
    for (const auto& [key, hex] : astrid->props)
        if (key.size() == 10 && key.rfind("0x", 0) == 0) {
            EXPECT_NE(key.substr(6), "001e") << key << " is an 8-bit string";
            EXPECT_NE(key.substr(6), "101e") << key << " is an 8-bit string";
        }
}

// The photo as pypff reads the attachment: the JPEG's bytes, flagged as the contact photo.
TEST_F(ContactRoundTrip, PypffReadsThePhotoAttachmentByteForByte) {
    auto run = readers::runProcess({"/usr/bin/python3", std::string(ZENTRA_SOURCE_DIR) +
                                                            "/tests/mailstore/pypff_attachments.py",
                                    path_, "Friends"},
                                   std::chrono::seconds(60));
    if (run.exitCode != 0 && run.err.find("No module named 'pypff'") != std::string::npos)
        GTEST_SKIP() << "pypff is not installed";
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::vector<std::string> attachments = lines(run.out);
    ASSERT_EQ(attachments.size(), 1u) << run.out;
    const std::string& a = attachments[0];
    std::string jpeg = readBytes(dataFile("photo.jpg"));
    EXPECT_NE(a.find("\"message\": 0, \"attachment\": 0, \"size\": " + std::to_string(jpeg.size())), std::string::npos)
        << a.substr(0, 200);
    EXPECT_NE(a.find("\"data\": \"" + hexOf(jpeg) + "\""), std::string::npos) << "photo bytes differ";
    // PidTagAttachmentContactPhoto (0x7FFF, boolean) true, PidTagAttachNumber 0, by value.
    EXPECT_NE(a.find("{\"id\": 32767, \"type\": 11, \"hex\": \"01"), std::string::npos) << a;
    EXPECT_NE(a.find("{\"id\": 3617, \"type\": 3, \"hex\": \"00000000\"}"), std::string::npos) << a;
    EXPECT_NE(a.find("{\"id\": 14085, \"type\": 3, \"hex\": \"01000000\"}"), std::string::npos) << a;
}

// pffexport: Contact.txt fields through the harness, and the exported photo file.
TEST_F(ContactRoundTrip, PffexportWritesContactTxtAndThePhotoFile) {
    ReaderView view = readers::readWithLibpff(path_);
    if (view.skipped) GTEST_SKIP() << view.error;
    ASSERT_TRUE(view.ok) << view.error << "\n" << view.output;
    const readers::FolderView* folder = view.folderAt("Friends");
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->itemCount, 2u);
    const readers::ItemView* astrid = itemWith(*folder, "surname", "Lindqvist");
    ASSERT_NE(astrid, nullptr);
    EXPECT_EQ(astrid->field("txt:File under"), "Lindqvist, Astrid Maria");
    EXPECT_EQ(astrid->field("txt:Given name"), "Astrid");
    EXPECT_EQ(astrid->field("txt:Generational abbreviation"), "PhD");
    EXPECT_EQ(astrid->field("txt:Title"), "Dr.");
    EXPECT_EQ(astrid->field("txt:Company name"), "Nordlicht Instruments");
    EXPECT_EQ(astrid->field("txt:Job title"), "Head of Optics");
    EXPECT_EQ(astrid->field("txt:Department name"), "Research");
    EXPECT_EQ(astrid->field("txt:Home phone number"), "+46 8 200 2001");
    EXPECT_EQ(astrid->field("txt:Mobile phone number"), "+46 70 300 3003");
    EXPECT_EQ(astrid->field("txt:Business phone number 1"), "+46 8 100 1001");
    EXPECT_EQ(astrid->field("txt:Business phone number 2"), "+46 8 100 1002");
    EXPECT_EQ(astrid->field("txt:Business fax number"), "+46 8 100 1009");
    EXPECT_EQ(astrid->field("txt:Email address 1"), "astrid.lindqvist@nordlicht.example");
    EXPECT_EQ(astrid->field("txt:Email address 2"), "astrid@home.example");
    EXPECT_EQ(astrid->field("txt:Email address 3"), "a.lindqvist@other.example");
    EXPECT_EQ(astrid->field("txt:Country"), "Sweden");
    EXPECT_EQ(astrid->field("txt:Locality"), "Uppsala");
    const readers::ItemView* chidi = itemWith(*folder, "surname", "Okafor");
    ASSERT_NE(chidi, nullptr);
    EXPECT_EQ(chidi->field("txt:File under"), "Okafor, Chidi");
    EXPECT_EQ(chidi->field("txt:Email address 1"), "chidi@okafor.example");

    // The photo file pffexport writes for the attachment.
    fs::path target = dir_ / "pffexport";
    auto run = readers::runProcess({"pffexport", "-m", "all", "-f", "all", "-t", target.string(), path_},
                                   std::chrono::seconds(60));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::vector<fs::path> photos;
    for (const auto& e : fs::recursive_directory_iterator(target.string() + ".export"))
        if (e.is_regular_file() && e.path().parent_path().filename() == "Attachments") photos.push_back(e.path());
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(readBytes(photos[0]), readBytes(dataFile("photo.jpg")));
}

// pst-extractor's contact getters.
TEST_F(ContactRoundTrip, PstExtractorContactGettersReturnTheFields) {
    ReaderView view = readers::readWithPstExtractor(path_);
    if (view.skipped) GTEST_SKIP() << view.error;
    ASSERT_TRUE(view.ok) << view.error;
    const readers::FolderView* folder = view.folderAt("Friends");
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->itemCount, 2u);
    const readers::ItemView* astrid = itemWith(*folder, "surname", "Lindqvist");
    ASSERT_NE(astrid, nullptr);
    EXPECT_EQ(astrid->field("kind"), "PSTContact");
    EXPECT_EQ(astrid->field("givenName"), "Astrid");
    EXPECT_EQ(astrid->field("middleName"), "Maria");
    EXPECT_EQ(astrid->field("nickname"), "Asti");
    EXPECT_EQ(astrid->field("fileUnder"), "Lindqvist, Astrid Maria");
    EXPECT_EQ(astrid->field("email1EmailAddress"), "astrid.lindqvist@nordlicht.example");
    EXPECT_EQ(astrid->field("email2EmailAddress"), "astrid@home.example");
    EXPECT_EQ(astrid->field("email3EmailAddress"), "a.lindqvist@other.example");
    EXPECT_FALSE(astrid->field("email1DisplayName").empty());
    EXPECT_EQ(astrid->field("companyName"), "Nordlicht Instruments");
    EXPECT_EQ(astrid->field("title"), "Head of Optics");
    EXPECT_EQ(astrid->field("businessTelephoneNumber"), "+46 8 100 1001");
    EXPECT_EQ(astrid->field("homeTelephoneNumber"), "+46 8 200 2001");
    EXPECT_EQ(astrid->field("mobileTelephoneNumber"), "+46 70 300 3003");
    const readers::ItemView* chidi = itemWith(*folder, "surname", "Okafor");
    ASSERT_NE(chidi, nullptr);
    EXPECT_EQ(chidi->field("givenName"), "Chidi");
    EXPECT_EQ(chidi->field("email1EmailAddress"), "chidi@okafor.example");
}
