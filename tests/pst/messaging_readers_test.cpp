// Whole stores written by the messaging layer, checked by the project's structural checker and
// by the four independent readers: the folder tree, the names, the store's display name and the
// container classes must read back. Readers are compared on what they print, never on exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "messaging_support.h"
#include "readers.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;

namespace {

constexpr const char* kStoreName = "Zentra Contacts : Created - 6.12.26 9.5.07";

// What every reader should show below the IPM subtree: path -> container class ("" = none).
using Tree = FolderTree;

// The file's own tables list exactly the expected tree, and every checker and reader agrees.
void expectTreeEverywhere(const std::string& path, const Tree& tree) {
    {
        FileNodes file(path);
        EXPECT_EQ(ipmTreeOf(file), tree);
        EXPECT_EQ(text(file.pc(nid::kMessageStore).at(mapi::PidTagDisplayName.id)), kStoreName);
    }
    expectSoundEverywhere(path);
}


Tree baseTree() { return {{"Deleted Items", ""}}; }

// A message libpst recognises as a contact: it exports only contacts that carry contact fields.
ltp::PropertyMap sampleContact(const std::string& given, const std::string& surname) {
    ltp::PropertyMap contact;
    contact[mapi::PidTagMessageClass.id] = ltp::stringValue("IPM.Contact");
    contact[mapi::PidTagSubject.id] = ltp::stringValue(given + " " + surname);
    contact[mapi::PidTagDisplayName.id] = ltp::stringValue(given + " " + surname);
    contact[0x3A06] = ltp::stringValue(given);     // PidTagGivenName
    contact[0x3A11] = ltp::stringValue(surname);   // PidTagSurname
    return contact;
}

}  // namespace

TEST(MessagingReaders, EmptyStoreOpensEverywhere) {
    ScratchDir dir;
    std::string path = dir.file("empty.pst");
    Store::create(path, kStoreName)->close();
    expectTreeEverywhere(path, baseTree());
}

TEST(MessagingReaders, ThreeLevelContactsTreeWithAContact) {
    ScratchDir dir;
    std::string path = dir.file("tree.pst");
    Tree tree = baseTree();
    {
        auto store = Store::create(path, kStoreName);
        Nid users = store->createFolder(store->ipmSubtree(), "Users", "IPF.Contact");
        Nid ann = store->createFolder(users, "ann", "IPF.Contact");
        store->createFolder(ann, "cards", "IPF.Contact");
        store->createFolder(users, "bob", "IPF.Contact");
        store->addMessage(ann, sampleContact("Ann", "Example"));
        store->close();
    }
    for (const char* p : {"Users", "Users/ann", "Users/ann/cards", "Users/bob"}) tree[p] = "IPF.Contact";
    expectTreeEverywhere(path, tree);
}

TEST(MessagingReaders, UnicodeLongAndCaseDifferingNames) {
    ScratchDir dir;
    std::string path = dir.file("names.pst");
    const std::string longName(200, 'L');
    const std::string greek = "\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1";   // Σοφία
    const std::string cjk = "\xE9\x80\x9A\xE8\xAE\xAF\xE5\xBD\x95";       // 通讯录
    // Names beyond the BMP (surrogate pairs) are read back by MessagingFolders through the
    // engine's own reader only: pypff 20180714 decodes them wrongly (U+1F600, stored as the
    // correct D83D DE00, comes back as U+1F201).
    const std::string hebrew = "\xD7\x90\xD7\xA0\xD7\xA9\xD7\x99\xD7\x9D";   // אנשים
    Tree tree = baseTree();
    {
        auto store = Store::create(path, kStoreName);
        Nid top = store->ipmSubtree();
        Nid ann = store->createFolder(top, "Ann", "IPF.Contact");
        store->createFolder(ann, "ann", "IPF.Contact");   // same name, other level: allowed
        EXPECT_THROW(store->createFolder(top, "ANN", "IPF.Contact"), zentra::Error);
        store->createFolder(top, greek, "IPF.Contact");
        store->createFolder(top, cjk, "IPF.Contact");
        store->createFolder(top, hebrew, "IPF.Contact");
        store->createFolder(top, longName, "IPF.Contact");
        store->close();
    }
    for (std::string p : {std::string("Ann"), std::string("Ann/ann"), greek, cjk, hebrew, longName}) tree[p] = "IPF.Contact";
    expectTreeEverywhere(path, tree);
}

TEST(MessagingReaders, AThousandFolders) {
    ScratchDir dir;
    std::string path = dir.file("thousand.pst");
    Tree tree = baseTree();
    {
        auto store = Store::create(path, kStoreName);
        Nid many = store->createFolder(store->ipmSubtree(), "Many", "IPF.Contact");
        tree["Many"] = "IPF.Contact";
        for (int i = 0; i < 1000; ++i) {
            std::string name = "Folder " + std::to_string(i);
            store->createFolder(many, name, "IPF.Contact");
            tree["Many/" + name] = "IPF.Contact";
        }
        store->close();
    }
    expectTreeEverywhere(path, tree);
}

TEST(MessagingReaders, StoreGrownPastSeveralAMapsAndAPMap) {
    // One AMap page maps 253,952 bytes and one PMap 2,031,616: 40 messages with a 64 KiB
    // attachment each, in 200 folders, take the file past eight AMaps and into the range of the
    // second PMap.
    ScratchDir dir;
    std::string path = dir.file("grown.pst");
    Tree tree = baseTree();
    {
        StoreOptions options;
        options.commitEveryMessages = 7;   // grow across several commits
        auto store = Store::create(path, kStoreName, options);
        std::vector<Nid> folders;
        for (int i = 0; i < 200; ++i) {
            std::string name = "Group " + std::to_string(i);
            folders.push_back(store->createFolder(store->ipmSubtree(), name, "IPF.Contact"));
            tree[name] = "IPF.Contact";
        }
        std::vector<uint8_t> photo(64 * 1024);
        for (size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<uint8_t>(i * 7 + i / 251);
        for (int m = 0; m < 40; ++m) {
            ltp::PropertyMap contact = sampleContact("Contact", std::to_string(m));
            AttachmentData a;
            a.properties[mapi::PidTagAttachDataBinary.id] = ltp::binaryValue(photo);
            a.properties[mapi::PidTagAttachFilename.id] = ltp::stringValue("photo.jpg");
            store->addMessage(folders[static_cast<size_t>(m * 5)], contact, {a});
        }
        store->close();
    }
    EXPECT_GT(std::filesystem::file_size(path), 0x4400u + 2'031'616u);
    expectTreeEverywhere(path, tree);
}

TEST(MessagingReaders, ThousandsOfContactsInOneFolderAcrossCommits) {
    // The contents table grows by appending at each commit: 1,500 rows take four leaves of the
    // row index and two dozen row blocks, most of them shared from earlier commits. Every reader
    // must enumerate every contact through it.
    ScratchDir dir;
    std::string path = dir.file("big-folder.pst");
    constexpr int kContacts = 1500;
    {
        StoreOptions options;
        options.commitEveryMessages = 200;
        auto store = Store::create(path, kStoreName, options);
        Nid folder = store->createFolder(store->ipmSubtree(), "Everyone", "IPF.Contact");
        for (int m = 0; m < kContacts; ++m) store->addMessage(folder, sampleContact("Person", std::to_string(m)));
        store->close();
    }
    expectStructurallySound(path);
    zentra::readers::ReaderOptions options;
    options.timeout = std::chrono::seconds(120);
    int ran = 0;
    for (const zentra::readers::ReaderView& view : zentra::readers::readWithAll(path, options)) {
        if (view.skipped) continue;
        ++ran;
        ASSERT_TRUE(view.ok) << view.reader << ": " << view.error;
        if (view.reader == "libpst") {
            EXPECT_EQ(view.listed.count("Everyone") ? view.listed.at("Everyone").size() : 0u, size_t{kContacts});
            continue;
        }
        const zentra::readers::FolderView* f = view.folderAt("Everyone");
        ASSERT_NE(f, nullptr) << view.reader;
        EXPECT_EQ(f->itemCount, size_t{kContacts}) << view.reader;
        std::set<std::string> surnames;
        for (const auto& item : f->items) surnames.insert(item.field("surname"));
        if (!surnames.empty() && !(surnames.size() == 1 && surnames.begin()->empty())) {
            EXPECT_EQ(surnames.size(), size_t{kContacts}) << view.reader;
        }
        if (f->contentCount) {
            EXPECT_EQ(*f->contentCount, long{kContacts}) << view.reader;
        }
    }
    EXPECT_GE(ran, 3);
}
