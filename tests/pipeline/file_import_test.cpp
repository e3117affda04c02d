// One file into one folder: the exact path that was listed, read once through one descriptor
// (a file changed while it is read fails with that reason, one replaced keeps the version that
// was opened), stopped inside a long file on request, and a file without a card leaving nothing.
#include "pipeline/file_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "mapi/property_catalogue.h"
#include "zentra/error.h"

namespace pipeline {
namespace {

namespace fs = std::filesystem;

std::string cards(const std::string& stem, int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + stem + "-" + std::to_string(i) + "\r\nN:" + stem + ";" +
                std::to_string(i) + ";;;\r\nEND:VCARD\r\n";
    return text;
}

std::string nameOf(const contact::ContactItem& c) {
    const contact::Property* p = c.properties.find(mapi::PidTagDisplayName);
    return p ? mapi::stringOf(p->value).value_or("") : std::string();
}

class FileImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zentra_file_import_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        session_ = std::make_shared<ImportSession>();
        store_ = session_->createStore((dir_ / "s.pst").string(), "S");
        folder_ = store_->createFolder(store_->store().ipmSubtree(), "F", "IPF.Contact");
    }
    void TearDown() override {
        store_->detach();
        fs::remove_all(dir_);
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string firstName(const std::string& path) {
        contact::ContactItem c;
        readHere(SourceFile{path}, session_->settings().mapping)->next(c);
        return nameOf(c);
    }
    std::uint32_t stored() { return store_->store().folder(folder_).contentCount; }

    fs::path dir_;
    std::shared_ptr<ImportSession> session_;
    std::shared_ptr<OpenStore> store_;
    pst::Nid folder_ = 0;
};

// Stops a file, or changes it, after a given number of its contacts are stored.
struct After final : ImportObserver {
    std::size_t contacts = 0;
    std::function<bool()> then;
    bool contactStored(const FileOutcome& f) override { return f.contactsStored != contacts || then(); }
    void warning(const FileOutcome&, const FileWarning&) override {}
};

TEST_F(FileImportTest, TheExactListedPathIsReadAndTrimmingIsOnlyAFallback) {
    const std::string plain = write("t.vcf", cards("plain", 1));
    const std::string spaced = write("t.vcf ", cards("spaced", 1));
    EXPECT_EQ(firstName(plain), "plain-1");
    EXPECT_EQ(firstName(spaced), "spaced-1");
    // No file has the name with the blanks: the name without them is read.
    const std::string only = write("u.vcf", cards("only", 1));
    EXPECT_EQ(firstName(" " + only + "  "), "only-1");
}

// A card with nothing to name it is named after its file, without the extension: the same name
// std::filesystem gives as the file's stem, for names with several dots, a leading dot or none.
TEST_F(FileImportTest, ACardWithoutANameIsNamedAfterItsFilesStem) {
    const std::string unnamed = "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:no name\r\nEND:VCARD\r\n";
    for (const std::string name : {"Bob Smith.vcf", "a.b.c.vcf", ".vcf", ".hidden.vcf", "no extension", "dot.", "x.VCF"}) {
        const std::string path = write(name, unnamed);
        EXPECT_EQ(firstName(path), fs::path(path).stem().string()) << name;
    }
}

TEST_F(FileImportTest, AFileChangedWhileItIsReadFailsWithThatReason) {
    // Larger than a read, so the rest is read after the change.
    const std::string path = write("big.vcf", cards("old", 3000));
    After observer;
    observer.contacts = 2;
    observer.then = [&] {
        std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out) << "BEGIN:VCARD\r\nFN:new";
        return true;
    };
    FileImport file(session_, store_, folder_);
    file.open(SourceFile{path});
    EXPECT_THROW(file.store(&observer), zentra::Error);
    EXPECT_EQ(file.outcome().status, FileOutcome::Status::Failed);
    EXPECT_NE(file.outcome().reason.find("changed while it was being read"), std::string::npos) << file.outcome().reason;
    EXPECT_EQ(file.outcome().contactsStored, stored());
}

TEST_F(FileImportTest, AFileReplacedWhileItIsReadGivesTheVersionThatWasOpened) {
    const std::string path = write("swap.vcf", cards("old", 3000));
    const std::string next = write("next.vcf", cards("new", 10));
    After observer;
    observer.contacts = 2;
    observer.then = [&] {
        fs::rename(next, path);   // the path now names another file; the one opened reads on
        return true;
    };
    FileImport file(session_, store_, folder_);
    file.open(SourceFile{path});
    file.store(&observer);
    EXPECT_EQ(file.outcome().status, FileOutcome::Status::Imported);
    EXPECT_EQ(file.outcome().contactsStored, 3000u);
    EXPECT_EQ(stored(), 3000u);
}

TEST_F(FileImportTest, AStopInsideAFileCutsItShortThereAndSaysHowFar) {
    const std::string path = write("long.vcf", cards("long", 50));
    After observer;
    observer.contacts = 3;
    observer.then = [] { return false; };
    FileImport file(session_, store_, folder_);
    file.open(SourceFile{path});
    file.store(&observer);
    EXPECT_EQ(file.outcome().status, FileOutcome::Status::CutShort);
    EXPECT_EQ(file.outcome().contactsStored, 3u);
    EXPECT_EQ(stored(), 3u);
    EXPECT_NE(describeProblem(file.outcome()).find("after 3 contacts"), std::string::npos)
        << describeProblem(file.outcome());

    // A stop asked for at the last contact leaves the file whole.
    const std::string three = write("three.vcf", cards("three", 3));
    FileImport whole(session_, store_, folder_);
    whole.open(SourceFile{three});
    whole.store(&observer);
    EXPECT_EQ(whole.outcome().status, FileOutcome::Status::Imported);
}

TEST_F(FileImportTest, AFileWithoutACardFailsAndStoresNothing) {
    const std::string path = write("none.vcf", "no card here\r\n");
    FileImport file(session_, store_, folder_);
    EXPECT_THROW(file.open(SourceFile{path}), zentra::Error);
    file.store(nullptr);
    EXPECT_EQ(file.outcome().status, FileOutcome::Status::Failed);
    EXPECT_EQ(file.outcome().errorNumber, zentra::kErrImportFailed);
    EXPECT_EQ(stored(), 0u);
}

// The store writes every contact through one reused map: a contact with few properties after
// one with many must come out with its own properties only, and each with its own values.
TEST_F(FileImportTest, ContactsStoredOneAfterAnotherKeepOnlyTheirOwnProperties) {
    const std::string path = write("mixed.vcf",
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Full Card\r\nN:Card;Full;;;\r\n"
                                   "EMAIL:full@example.com\r\nTEL;TYPE=CELL:+1 555 0100\r\nNOTE:a note\r\n"
                                   "ORG:Acme\r\nEND:VCARD\r\n"
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bare\r\nEND:VCARD\r\n");
    auto cards = readHere(SourceFile{path}, session_->settings().mapping);
    std::vector<pst::ltp::PropertyMap> expected;
    std::vector<pst::Nid> nids;
    contact::ContactItem c;
    while (cards->next(c)) {
        // What the contact would be stored as on its own, resolved through a fresh map.
        StoredContact alone;
        contact::ContactItem copy = c;
        toStoredContact(std::move(copy), store_->store().nameToIdMap(), alone);
        expected.push_back(std::move(alone.properties));
        nids.push_back(store_->addContact(folder_, std::move(c)));
        c = contact::ContactItem{};
    }
    ASSERT_EQ(nids.size(), 2u);
    for (size_t i = 0; i < nids.size(); ++i) {
        const pst::ltp::PropertyMap back = store_->store().messageProperties(nids[i]);
        for (const auto& [id, value] : expected[i]) {
            ASSERT_TRUE(back.contains(id)) << "contact " << i + 1 << ", property " << id;
            EXPECT_EQ(back.at(id), value) << "contact " << i + 1 << ", property " << id;
        }
        // Beyond what the store adds to every message, nothing else: the second card has no
        // e-mail, phone, note or company, and none may come from the first.
        const std::set<uint16_t> added = {mapi::PidTagMessageFlags.id,      mapi::PidTagMessageSize.id,
                                          mapi::PidTagMessageStatus.id,     mapi::PidTagHasAttachments.id,
                                          mapi::PidTagCreationTime.id,      mapi::PidTagLastModificationTime.id,
                                          mapi::PidTagSearchKey.id};
        for (const auto& [id, value] : back)
            EXPECT_TRUE(expected[i].contains(id) || added.count(id))
                << "contact " << i + 1 << " holds property " << id << " it was not given";
    }
}

}  // namespace
}  // namespace pipeline
