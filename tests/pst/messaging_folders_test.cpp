// Folder trees: creation below any folder, the four nodes of a folder, hierarchy rows and
// PidTagSubfolders in the parent, names compared without regard to case, Unicode and long
// names, and a thousand folders; read back from the closed file.
#include <gtest/gtest.h>

#include <algorithm>

#include "messaging_support.h"
#include "pst/messaging/case_folding.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;

namespace {

constexpr uint32_t kNameTag = 0x3001001F;
constexpr uint32_t kClassTag = 0x3613001F;
constexpr uint32_t kSubfoldersTag = 0x360A000B;

template <class F>
zentra::Error errorOf(F&& f) {
    try {
        f();
    } catch (const zentra::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error thrown";
    return zentra::Error(0, "");
}

}  // namespace

TEST(MessagingFolders, ThreeLevelContactsTreeReadsBackWithRowsAndFlags) {
    ScratchDir dir;
    std::string path = dir.file("tree.pst");
    Nid users, ann, cards, bob;
    {
        auto store = Store::create(path, "tree");
        users = store->createFolder(store->ipmSubtree(), "Users", "IPF.Contact");
        ann = store->createFolder(users, "ann", "IPF.Contact");
        cards = store->createFolder(ann, "cards", "IPF.Contact");
        bob = store->createFolder(users, "bob", "IPF.Contact");

        auto children = store->subfolders(users);
        ASSERT_EQ(children.size(), 2u);
        EXPECT_EQ(children[0].name, "ann");
        EXPECT_EQ(children[1].nid, bob);
        EXPECT_TRUE(store->folder(ann).hasSubfolders);
        EXPECT_FALSE(store->folder(bob).hasSubfolders);
        EXPECT_EQ(store->folder(cards).containerClass, "IPF.Contact");
        store->close();
    }
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{});
    for (Nid f : {users, ann, cards, bob}) {
        EXPECT_EQ(nidType(f), kNidTypeNormalFolder);
        for (Nid table : {hierarchyTableOf(f), contentsTableOf(f), assocContentsTableOf(f)})
            EXPECT_TRUE(file.findNode(table).has_value()) << "table 0x" << std::hex << table;
    }
    EXPECT_EQ(file.findNode(users)->parent, 0x8022u);
    EXPECT_EQ(file.findNode(cards)->parent, ann);

    ltp::PropertyMap usersPc = file.pc(users);
    EXPECT_EQ(text(usersPc.at(mapi::PidTagDisplayName.id)), "Users");
    EXPECT_EQ(text(usersPc.at(mapi::PidTagContainerClass.id)), "IPF.Contact");
    EXPECT_EQ(usersPc.at(mapi::PidTagSubfolders.id).bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(file.pc(bob).at(mapi::PidTagSubfolders.id).bytes, std::vector<uint8_t>{0});

    ltp::TableContents ipm = file.table(0x802D);
    std::vector<uint32_t> ipmRows = rowIds(ipm);
    std::sort(ipmRows.begin(), ipmRows.end());
    EXPECT_EQ(ipmRows, (std::vector<uint32_t>{0x8062, users}));
    EXPECT_EQ(text(*cell(ipm, users, kNameTag)), "Users");
    EXPECT_EQ(text(*cell(ipm, users, kClassTag)), "IPF.Contact");
    EXPECT_EQ(cell(ipm, users, kSubfoldersTag)->bytes, std::vector<uint8_t>{1});

    ltp::TableContents usersRows = file.table(hierarchyTableOf(users));
    ASSERT_EQ(usersRows.rows.size(), 2u);
    // ann got a child after its row was first written: the parent's copy must follow.
    EXPECT_EQ(cell(usersRows, ann, kSubfoldersTag)->bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(cell(usersRows, bob, kSubfoldersTag)->bytes, std::vector<uint8_t>{0});
    EXPECT_EQ(rowIds(file.table(hierarchyTableOf(ann))), std::vector<uint32_t>{cards});
    EXPECT_TRUE(file.table(hierarchyTableOf(cards)).rows.empty());
    expectSoundEverywhere(path);
}

TEST(MessagingFolders, SiblingNamesDifferingOnlyInCaseAreRejected) {
    ScratchDir dir;
    auto store = Store::create(dir.file("case.pst"), "case");
    Nid top = store->ipmSubtree();
    const std::pair<const char*, const char*> pairs[] = {
        {"Users", "USERS"},
        {"\xC3\x84rger", "\xC3\xA4RGER"},                              // Ärger / äRGER
        {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1"},   // ΣΟΦΊΑ / σοφία
        {"\xD0\x94\xD0\x9E\xD0\x9C", "\xD0\xB4\xD0\xBE\xD0\xBC"},      // ДОМ / дом
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xC5\x82\xC3\x93" "D\xC5\xB9"},    // Łódź / łÓDŹ
    };
    for (auto [first, second] : pairs) {
        Nid created = store->createFolder(top, first, "IPF.Contact");
        zentra::Error e = errorOf([&] { store->createFolder(top, second, "IPF.Contact"); });
        EXPECT_EQ(e.number(), zentra::kErrFolderExists) << second;
        EXPECT_NE(e.description().find(first), std::string::npos) << e.description();
        EXPECT_EQ(store->findSubfolder(top, second), std::optional<Nid>(created));
    }
    // Deleted Items is a sibling too.
    EXPECT_EQ(errorOf([&] { store->createFolder(top, "deleted items", "IPF.Contact"); }).number(),
              zentra::kErrFolderExists);
    EXPECT_EQ(store->subfolders(top).size(), 6u);   // Deleted Items + the five first spellings

    // The same name below another parent is fine, and so are names that only look alike.
    Nid users = *store->findSubfolder(top, "users");
    EXPECT_NO_THROW(store->createFolder(users, "Users", "IPF.Contact"));
    EXPECT_NO_THROW(store->createFolder(top, "Users2", "IPF.Contact"));
    EXPECT_NO_THROW(store->createFolder(top, "Us\xC3\xA9rs", "IPF.Contact"));   // Usérs
    std::string path = store->path();
    store->close();
    expectSoundEverywhere(path);
}

TEST(MessagingFolders, RejectsEmptyNamesMissingParentsAndSearchFolderParents) {
    ScratchDir dir;
    auto store = Store::create(dir.file("bad.pst"), "bad");
    EXPECT_EQ(errorOf([&] { store->createFolder(store->ipmSubtree(), "", "IPF.Contact"); }).number(),
              zentra::kErrInvalidArgument);
    EXPECT_EQ(errorOf([&] { store->createFolder(0x7FE2, "x", "IPF.Contact"); }).number(), zentra::kErrFolderNotFound);
    EXPECT_EQ(errorOf([&] { store->createFolder(0x2223, "x", "IPF.Contact"); }).number(),
              zentra::kErrInvalidArgument);
    EXPECT_EQ(errorOf([&] { store->folder(0x7FE2); }).number(), zentra::kErrFolderNotFound);
    store->close();
}

TEST(MessagingFolders, UnicodeAndLongNamesReadBackExactly) {
    ScratchDir dir;
    std::string path = dir.file("names.pst");
    const std::string cjk = "\xE9\x80\x9A\xE8\xAE\xAF\xE5\xBD\x95";                 // 通讯录
    const std::string emoji = "Friends \xF0\x9F\x98\x80 & co";                       // outside the BMP
    const std::string rtl = "\xD7\x90\xD7\xA0\xD7\xA9\xD7\x99 \xD7\xA7\xD7\xA9\xD7\xA8";   // Hebrew
    std::string longName;
    while (longName.size() < 2500) longName += "Abcdefghij\xC3\xA9";   // 5,000+ bytes as UTF-16
    Nid nids[4];
    {
        auto store = Store::create(path, "\xE9\x80\x9A names");
        const std::string names[] = {cjk, emoji, rtl, longName};
        for (int i = 0; i < 4; ++i) nids[i] = store->createFolder(store->ipmSubtree(), names[i], "IPF.Contact");
        store->close();
    }
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{});
    EXPECT_EQ(text(file.pc(0x21).at(mapi::PidTagDisplayName.id)), "\xE9\x80\x9A names");
    ltp::TableContents ipm = file.table(0x802D);
    const std::string names[] = {cjk, emoji, rtl, longName};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(text(file.pc(nids[i]).at(mapi::PidTagDisplayName.id)), names[i]);
        ASSERT_NE(cell(ipm, nids[i], kNameTag), nullptr);
        EXPECT_EQ(text(*cell(ipm, nids[i], kNameTag)), names[i]);
    }
    // Names of ordinary length go through the readers in MessagingReaders; this one is longer
    // than any directory name pffexport could create for it.
    expectStructurallySound(path);
}

TEST(MessagingFolders, AThousandFoldersInOneParentAndAcrossLevels) {
    ScratchDir dir;
    std::string path = dir.file("thousand.pst");
    Nid parent;
    {
        auto store = Store::create(path, "thousand");
        parent = store->createFolder(store->ipmSubtree(), "Many", "IPF.Contact");
        for (int i = 0; i < 1000; ++i) store->createFolder(parent, "Folder " + std::to_string(i), "IPF.Contact");
        EXPECT_EQ(store->subfolders(parent).size(), 1000u);
        EXPECT_EQ(store->findSubfolder(parent, "FOLDER 999"), store->subfolders(parent).back().nid);
        store->commit();   // a commit in the middle, then more folders
        Nid deep = store->ipmSubtree();
        for (int level = 0; level < 30; ++level) deep = store->createFolder(deep, "Level " + std::to_string(level), "IPF.Contact");
        store->close();
    }
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{});
    ltp::TableContents rows = file.table(hierarchyTableOf(parent));
    ASSERT_EQ(rows.rows.size(), 1000u);
    std::vector<std::string> names;
    for (const auto& [id, cells] : rows.rows) {
        EXPECT_TRUE(file.findNode(id).has_value());
        EXPECT_EQ(file.findNode(id)->parent, parent);
        names.push_back(text(cells.at(kNameTag)));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.front(), "Folder 0");
    expectSoundEverywhere(path);
}

TEST(MessagingFolders, CaseBlindKeyFoldsTheCoveredScriptsOnly) {
    EXPECT_EQ(caseBlindKey("MiXeD 123"), "mixed 123");
    EXPECT_EQ(caseBlindKey("\xC3\x80\xC3\x9E"), "\xC3\xA0\xC3\xBE");            // ÀÞ -> àþ
    EXPECT_EQ(caseBlindKey("\xC3\x97"), "\xC3\x97");                            // × stays
    EXPECT_EQ(caseBlindKey("\xC3\x9F"), "\xC3\x9F");                            // ß stays
    EXPECT_EQ(caseBlindKey("\xC5\xB8"), "\xC3\xBF");                            // Ÿ -> ÿ
    EXPECT_EQ(caseBlindKey("\xCF\x82"), "\xCF\x83");                            // final sigma
    EXPECT_EQ(caseBlindKey("\xD0\x81"), "\xD1\x91");                            // Ё -> ё
    EXPECT_EQ(caseBlindKey("\xEF\xBC\xA1"), "\xEF\xBC\xA1");                    // fullwidth A: not folded
    EXPECT_TRUE(sameIgnoringCase("\xC4\x9E", "\xC4\x9F"));                      // Ğ ğ
    EXPECT_FALSE(sameIgnoringCase("\xC4\xB1", "I"));                            // dotless i is not I
    // A broken UTF-8 sequence compares as its bytes, equal only to itself.
    EXPECT_TRUE(sameIgnoringCase("a\xC3", "A\xC3"));
    EXPECT_FALSE(sameIgnoringCase("a\xC3", "a\xC4"));
}
