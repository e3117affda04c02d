// Whole stores written by the messaging layer, checked by the project's structural checker and
// by the four independent readers: the folder tree, the names, the store's display name and the
// container classes must read back. Readers are compared on what they print, never on exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "messaging_support.h"
#include "pstcheck/checker.h"
#include "readers.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;
namespace rd = zentra::readers;

namespace {

// What every reader should show below the IPM subtree: path -> container class ("" = none).
using Tree = std::map<std::string, std::string>;

constexpr const char* kStoreName = "Zentra Contacts : Created - 6.12.26 9.5.07";

void expectStructurallySound(const std::string& path) {
    pstcheck::Report report = pstcheck::checkFile(path);
    EXPECT_TRUE(report.clean()) << report.toText(false);
}

// libpst lists only folders that hold something, and names them without their path, so it is
// held to the names it processed; the libpff readers and pst-extractor must show the whole tree.
void expectReadersAgree(const std::string& path, const Tree& tree, const std::string& storeName) {
    std::set<std::string> wantPaths;
    std::multiset<std::string> wantNames;
    for (const auto& [p, cls] : tree) {
        wantPaths.insert(p);
        wantNames.insert(p.substr(p.rfind('/') + 1));
    }
    rd::ReaderOptions options;
    options.timeout = std::chrono::seconds(60);   // pst-extractor can hang on a file it misreads
    for (const rd::ReaderView& view : rd::readWithAll(path, options)) {
        SCOPED_TRACE(view.reader);
        if (view.skipped) {
            std::cout << "[ SKIPPED  ] " << view.reader << ": " << view.error << "\n";
            continue;
        }
        ASSERT_TRUE(view.ok) << view.error << "\n" << view.output.substr(0, 3000);
        if (view.reader == "libpst") {
            std::multiset<std::string> seen(view.folderNames.begin(), view.folderNames.end());
            for (const auto& name : seen)
                EXPECT_TRUE(wantNames.count(name) || name == "Top of Personal Folders" || name == storeName ||
                            name == "Search Root" || name == "SPAM Search Folder 2")
                    << "libpst shows an unexpected folder " << name;
            EXPECT_TRUE(view.warnings.empty()) << ::testing::PrintToString(view.warnings);
            continue;
        }
        std::vector<std::string> paths = view.ipmPaths();
        std::set<std::string> got(paths.begin(), paths.end());
        got.erase("");
        EXPECT_EQ(got, wantPaths);
        for (const auto& [p, cls] : tree) {
            const rd::FolderView* f = view.folderAt(p);
            if (!f) continue;   // already reported by the set comparison
            if (f->containerClass) EXPECT_EQ(*f->containerClass, cls) << p;
            if (f->contentCount) EXPECT_EQ(*f->contentCount, static_cast<long>(f->itemCount)) << p;
        }
        if (!view.storeName.empty()) EXPECT_EQ(view.storeName, storeName);
    }
}

Tree baseTree() { return {{"Deleted Items", ""}}; }

// A message libpst recognises as a contact: it exports only contacts that carry contact fields.
ltp::PropertyMap sampleContact(const std::string& given, const std::string& surname) {
    ltp::PropertyMap contact;
    contact[prop::kMessageClass] = ltp::stringValue("IPM.Contact");
    contact[prop::kSubject] = ltp::stringValue(given + " " + surname);
    contact[prop::kDisplayName] = ltp::stringValue(given + " " + surname);
    contact[0x3A06] = ltp::stringValue(given);     // PidTagGivenName
    contact[0x3A11] = ltp::stringValue(surname);   // PidTagSurname
    return contact;
}

}  // namespace

TEST(MessagingReaders, EmptyStoreOpensEverywhere) {
    ScratchDir dir;
    std::string path = dir.file("empty.pst");
    Store::create(path, kStoreName)->close();
    expectStructurallySound(path);
    expectReadersAgree(path, baseTree(), kStoreName);
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
    expectStructurallySound(path);
    expectReadersAgree(path, tree, kStoreName);
}

TEST(MessagingReaders, UnicodeLongAndCaseDifferingNames) {
    ScratchDir dir;
    std::string path = dir.file("names.pst");
    const std::string longName(200, 'L');
    const std::string greek = "\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1";   // Σοφία
    const std::string cjk = "\xE9\x80\x9A\xE8\xAE\xAF\xE5\xBD\x95";       // 通讯录
    Tree tree = baseTree();
    {
        auto store = Store::create(path, kStoreName);
        Nid top = store->ipmSubtree();
        Nid ann = store->createFolder(top, "Ann", "IPF.Contact");
        store->createFolder(ann, "ann", "IPF.Contact");   // same name, other level: allowed
        EXPECT_THROW(store->createFolder(top, "ANN", "IPF.Contact"), zentra::Error);
        store->createFolder(top, greek, "IPF.Contact");
        store->createFolder(top, cjk, "IPF.Contact");
        store->createFolder(top, longName, "IPF.Contact");
        store->close();
    }
    for (std::string p : {std::string("Ann"), std::string("Ann/ann"), greek, cjk, longName}) tree[p] = "IPF.Contact";
    expectStructurallySound(path);
    expectReadersAgree(path, tree, kStoreName);
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
    expectStructurallySound(path);
    expectReadersAgree(path, tree, kStoreName);
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
            a.properties[prop::kAttachDataBinary] = ltp::binaryValue(photo);
            a.properties[prop::kAttachFilename] = ltp::stringValue("photo.jpg");
            store->addMessage(folders[static_cast<size_t>(m * 5)], contact, {a});
        }
        store->close();
    }
    EXPECT_GT(std::filesystem::file_size(path), 0x4400u + 2'031'616u);
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{});
    expectStructurallySound(path);
    expectReadersAgree(path, tree, kStoreName);
}
