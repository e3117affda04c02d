// Messages: the node and its subnodes (recipient table always, attachment table and objects
// when there are attachments), PidTagMessageSize equal to what the node takes on disk, the
// folder's contents-table row copied from the message, counts in the folder and its parent's
// hierarchy row, and the periodic commit.
#include <gtest/gtest.h>

#include "messaging_support.h"
#include "pst/messaging/table_templates.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;

namespace {

// A small contact; the given name and surname make libpst treat it as one (it skips contacts
// without contact fields).
ltp::PropertyMap contactProps(const std::string& subject) {
    ltp::PropertyMap p;
    p[mapi::PidTagMessageClass.id] = ltp::stringValue("IPM.Contact");
    p[mapi::PidTagSubject.id] = ltp::stringValue(subject);
    p[mapi::PidTagImportance.id] = ltp::int32Value(1);
    p[0x3A06] = ltp::stringValue(subject);     // PidTagGivenName
    p[0x3A11] = ltp::stringValue("Example");   // PidTagSurname
    return p;
}

std::optional<ndb::SubnodeEntry> subnode(FileNodes& file, Bid tree, Nid nid) {
    for (const auto& e : file.readSubnodeTree(tree))
        if (e.nid == nid) return e;
    return std::nullopt;
}

}  // namespace

TEST(MessagingMessages, MessageNodeHasRecipientTableSizeAndContentsRow) {
    ScratchDir dir;
    std::string path = dir.file("message.pst");
    Nid folder, message;
    const mapi::FileTime before = mapi::fileTimeNow();
    {
        auto store = Store::create(path, "messages");
        folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        message = store->addMessage(folder, contactProps("Ann Example"));
        EXPECT_EQ(store->folder(folder).contentCount, 1u);
        store->close();
    }
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{});
    auto node = file.findNode(message);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ(nidType(message), kNidTypeNormalMessage);
    EXPECT_EQ(node->parent, folder);

    ltp::PropertyMap pc = file.pc(message);
    EXPECT_EQ(text(pc.at(mapi::PidTagMessageClass.id)), "IPM.Contact");
    for (uint16_t required : {mapi::PidTagMessageFlags.id, mapi::PidTagMessageSize.id, mapi::PidTagMessageStatus.id, mapi::PidTagCreationTime.id,
                              mapi::PidTagLastModificationTime.id, mapi::PidTagSearchKey.id})
        EXPECT_TRUE(pc.count(required)) << "missing property 0x" << std::hex << required;
    // Given nothing else, the message is read, and created and modified when it was written.
    EXPECT_EQ(int32(pc.at(mapi::PidTagMessageFlags.id)), 0x01);
    const std::optional<mapi::FileTime> created = mapi::timeOf(pc.at(mapi::PidTagCreationTime.id));
    ASSERT_TRUE(created);
    EXPECT_GE(created->ticks, before.ticks);
    EXPECT_LE(created->ticks, mapi::fileTimeNow().ticks);
    EXPECT_EQ(pc.at(mapi::PidTagLastModificationTime.id), pc.at(mapi::PidTagCreationTime.id));
    EXPECT_EQ(static_cast<uint64_t>(int32(pc.at(mapi::PidTagMessageSize.id))),
              file.dataTreeSize(node->data) + file.subnodeTreeSize(node->subnodes));

    auto recipients = subnode(file, node->subnodes, nid::kRecipientTable);
    ASSERT_TRUE(recipients.has_value());
    ltp::TableContents rt = ltp::readTableContext(file, recipients->data, recipients->subnodes);
    EXPECT_EQ(columnTags(rt), columnTags(recipientTableColumns()));
    EXPECT_TRUE(rt.rows.empty());
    EXPECT_FALSE(subnode(file, node->subnodes, nid::kAttachmentTable).has_value());

    ltp::TableContents contents = file.table(contentsTableOf(folder));
    ASSERT_EQ(rowIds(contents), std::vector<uint32_t>{message});
    EXPECT_EQ(text(*cell(contents, message, 0x001A001F)), "IPM.Contact");
    EXPECT_EQ(text(*cell(contents, message, 0x0037001F)), "Ann Example");
    EXPECT_EQ(cell(contents, message, 0x0E080003)->bytes, pc.at(mapi::PidTagMessageSize.id).bytes);
    EXPECT_EQ(cell(contents, message, 0x0E070003)->bytes, pc.at(mapi::PidTagMessageFlags.id).bytes);

    EXPECT_EQ(int32(file.pc(folder).at(mapi::PidTagContentCount.id)), 1);
    EXPECT_EQ(int32(*cell(file.table(0x802D), folder, 0x36020003)), 1);   // the parent's copy
    expectSoundEverywhere(path);
}

TEST(MessagingMessages, AttachmentsGetTableRowsObjectsAndTheFlag) {
    ScratchDir dir;
    std::string path = dir.file("attach.pst");
    Nid message;
    const std::vector<uint8_t> photo(20000, 0x5A);   // beyond one heap item: goes to a subnode
    {
        auto store = Store::create(path, "attach");
        Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        AttachmentData a;
        a.properties[mapi::PidTagAttachDataBinary.id] = ltp::binaryValue(photo);
        a.properties[mapi::PidTagAttachFilename.id] = ltp::stringValue("photo.jpg");
        message = store->addMessage(folder, contactProps("With photo"), {a});
        store->close();
    }
    FileNodes file(path);
    EXPECT_EQ(file.reader().verify(), std::vector<std::string>{});
    auto node = file.findNode(message);
    ltp::PropertyMap pc = file.pc(message);
    EXPECT_EQ(int32(pc.at(mapi::PidTagMessageFlags.id)) & 0x10, 0x10);
    EXPECT_EQ(pc.at(mapi::PidTagHasAttachments.id).bytes, std::vector<uint8_t>{1});

    auto table = subnode(file, node->subnodes, nid::kAttachmentTable);
    ASSERT_TRUE(table.has_value());
    ltp::TableContents at = ltp::readTableContext(file, table->data, table->subnodes);
    EXPECT_EQ(columnTags(at), columnTags(attachmentTableColumns()));
    ASSERT_EQ(at.rows.size(), 1u);
    Nid attachNid = at.rows[0].first;
    EXPECT_EQ(nidType(attachNid), kNidTypeAttachment);

    auto object = subnode(file, node->subnodes, attachNid);
    ASSERT_TRUE(object.has_value());
    ltp::PropertyMap apc = ltp::readPropertyContext(file, object->data, object->subnodes);
    EXPECT_EQ(apc.at(mapi::PidTagAttachDataBinary.id).bytes, photo);
    EXPECT_EQ(int32(apc.at(mapi::PidTagAttachNumber.id)), 0);
    EXPECT_EQ(int32(apc.at(mapi::PidTagAttachMethod.id)), 1);
    EXPECT_EQ(int32(apc.at(mapi::PidTagRenderingPosition.id)), -1);
    EXPECT_EQ(static_cast<uint64_t>(int32(apc.at(mapi::PidTagAttachSize.id))),
              file.dataTreeSize(object->data) + file.subnodeTreeSize(object->subnodes));
    EXPECT_EQ(text(*cell(at, attachNid, 0x3704001F)), "photo.jpg");
    EXPECT_EQ(cell(at, attachNid, 0x0E200003)->bytes, apc.at(mapi::PidTagAttachSize.id).bytes);
    expectSoundEverywhere(path);
}

TEST(MessagingMessages, TheAttachmentFlagFollowsTheAttachmentsNotTheCaller) {
    ScratchDir dir;
    std::string path = dir.file("flags.pst");
    Nid message;
    {
        auto store = Store::create(path, "flags");
        Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        ltp::PropertyMap props = contactProps("Claims a photo");
        props[mapi::PidTagMessageFlags.id] = ltp::int32Value(0x11);   // read + has-attachments, but none given
        message = store->addMessage(folder, props);
        store->close();
    }
    FileNodes file(path);
    ltp::PropertyMap pc = file.pc(message);
    EXPECT_EQ(int32(pc.at(mapi::PidTagMessageFlags.id)), 0x01);
    EXPECT_EQ(pc.at(mapi::PidTagHasAttachments.id).bytes, std::vector<uint8_t>{0});
}

// A card's REV is the contact's modification time; the creation time stays the import's.
TEST(MessagingMessages, AGivenModificationTimeWinsOverTheWriteTime) {
    ScratchDir dir;
    std::string path = dir.file("revision.pst");
    const mapi::FileTime revised = mapi::fileTimeOfDate(2008, 4, 24);
    const mapi::FileTime before = mapi::fileTimeNow();
    Nid message;
    {
        auto store = Store::create(path, "revision");
        Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        ltp::PropertyMap props = contactProps("Revised");
        props[mapi::PidTagLastModificationTime.id] = ltp::timeValue(revised);
        message = store->addMessage(folder, props);
        store->close();
    }
    FileNodes file(path);
    ltp::PropertyMap pc = file.pc(message);
    EXPECT_EQ(mapi::timeOf(pc.at(mapi::PidTagLastModificationTime.id)), revised);
    const std::optional<mapi::FileTime> created = mapi::timeOf(pc.at(mapi::PidTagCreationTime.id));
    ASSERT_TRUE(created);
    EXPECT_GE(created->ticks, before.ticks);
}

TEST(MessagingMessages, UnreadMessagesCountAndMessageClassIsRequired) {
    ScratchDir dir;
    auto store = Store::create(dir.file("unread.pst"), "unread");
    Nid folder = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
    ltp::PropertyMap unread = contactProps("new");
    unread[mapi::PidTagMessageFlags.id] = ltp::int32Value(0);
    store->addMessage(folder, unread);
    store->addMessage(folder, contactProps("read"));
    EXPECT_EQ(store->folder(folder).contentCount, 2u);
    EXPECT_EQ(store->folder(folder).unreadCount, 1u);

    ltp::PropertyMap noClass;
    noClass[mapi::PidTagSubject.id] = ltp::stringValue("x");
    try {
        store->addMessage(folder, noClass);
        FAIL() << "a message without class was written";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrInvalidArgument);
    }
    EXPECT_THROW(store->addMessage(0x2223, contactProps("x")), zentra::Error);   // search folder
    EXPECT_EQ(store->folder(folder).contentCount, 2u);
    store->close();
}

TEST(MessagingMessages, PeriodicCommitMakesMessagesDurableWithoutClose) {
    ScratchDir dir;
    std::string path = dir.file("periodic.pst");
    StoreOptions options;
    options.commitEveryMessages = 5;
    auto store = Store::create(path, "periodic", options);
    Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
    for (int i = 0; i < 12; ++i) store->addMessage(folder, contactProps("c" + std::to_string(i)));
    {
        // Ten messages are committed (two periodic commits); the last two are not yet.
        FileNodes file(path);
        EXPECT_EQ(file.table(contentsTableOf(folder)).rows.size(), 10u);
        EXPECT_EQ(int32(file.pc(folder).at(mapi::PidTagContentCount.id)), 10);
        // Between commits the file holds the last commit whole, exactly as long as its header
        // says. Space the last commit freed stays marked used until the next one (a leak, never
        // a live block marked free).
        readback::VerifyOptions between;
        between.allowAMapLeaks = true;
        EXPECT_EQ(file.reader().verify(between), std::vector<std::string>{});
    }
    store->close();
    FileNodes file(path);
    EXPECT_EQ(file.table(contentsTableOf(folder)).rows.size(), 12u);
    expectSoundEverywhere(path);
}

// Only the folders written to last keep their contents table in memory; a folder that gets
// messages again after its table left reads it back and loses no row, cell or row version,
// large cells (subnodes of the table) included.
TEST(MessagingMessages, AContentsTableParkedAfterACommitIsReadBackWhole) {
    ScratchDir dir;
    std::string path = dir.file("parked.pst");
    StoreOptions options;
    options.contentsTablesInMemory = 1;
    auto store = Store::create(path, "parked", options);
    const Nid first = store->createFolder(store->ipmSubtree(), "First", "IPF.Contact");
    const Nid second = store->createFolder(store->ipmSubtree(), "Second", "IPF.Contact");
    const std::string longSubject(2500, 'x');   // 5,000 bytes as UTF-16: beyond a heap item
    std::vector<Nid> firstRows;
    for (const std::string& subject : {std::string("Ann"), longSubject, std::string("Cy")})
        firstRows.push_back(store->addMessage(first, contactProps(subject)));
    store->commit();
    EXPECT_EQ(store->contentsTablesInMemory(), 1u);
    store->addMessage(second, contactProps("Dee"));
    store->commit();
    EXPECT_EQ(store->contentsTablesInMemory(), 1u);   // the first folder's table left
    ltp::TableContents before;
    {
        FileNodes file(path);
        before = file.table(contentsTableOf(first));
    }

    firstRows.push_back(store->addMessage(first, contactProps("Eve")));
    store->addMessage(second, contactProps("Fay"));
    store->close();

    FileNodes file(path);
    ltp::TableContents after = file.table(contentsTableOf(first));
    ASSERT_EQ(rowIds(after), firstRows);
    for (size_t i = 0; i < before.rows.size(); ++i) EXPECT_EQ(after.rows[i], before.rows[i]) << "row " << i;
    EXPECT_EQ(text(*cell(after, firstRows[1], 0x0037001F)), longSubject);
    EXPECT_EQ(text(*cell(after, firstRows[3], 0x0037001F)), "Eve");
    EXPECT_EQ(file.table(contentsTableOf(second)).rows.size(), 2u);
    EXPECT_EQ(int32(file.pc(first).at(mapi::PidTagContentCount.id)), 4);
    expectSoundEverywhere(path);
}

namespace {

// A commit writes every folder changed since the last one, whichever order they changed in:
// with messages scattered over folders at two levels, a folder made between commits and only
// some contents tables in memory, each folder's count, its row in its parent's hierarchy table
// and its contents table agree with what was added, after every commit.
TEST(MessagingMessages, EveryFolderChangedSinceTheLastCommitIsWrittenAtIt) {
    ScratchDir dir;
    const std::string path = dir.file("scattered.pst");
    StoreOptions options;
    options.contentsTablesInMemory = 3;
    auto store = Store::create(path, "scattered", options);
    std::map<Nid, Nid> parentOf;
    std::vector<Nid> folders;
    for (int g = 0; g < 3; ++g) {
        const Nid group = store->createFolder(store->ipmSubtree(), "Group " + std::to_string(g), "IPF.Contact");
        parentOf[group] = store->ipmSubtree();
        folders.push_back(group);
        for (int k = 0; k < 4; ++k) {
            const Nid folder = store->createFolder(group, "Team " + std::to_string(k), "IPF.Contact");
            parentOf[folder] = group;
            folders.push_back(folder);
        }
    }
    std::map<Nid, int32_t> added;
    uint32_t mix = 7;   // a fixed pseudo-random walk over the folders
    for (int round = 0; round < 6; ++round) {
        for (int k = 0; k < 9; ++k) {
            mix = mix * 1103515245u + 12345u;
            const Nid folder = folders[(mix >> 16) % folders.size()];
            store->addMessage(folder, contactProps("m" + std::to_string(k)));
            ++added[folder];
        }
        if (round == 2) {
            const Nid late = store->createFolder(folders[1], "Late", "IPF.Contact");
            parentOf[late] = folders[1];
            folders.push_back(late);
        }
        store->commit();
        FileNodes file(path);
        for (const Nid folder : folders) {
            const std::string where = "folder " + std::to_string(folder) + ", round " + std::to_string(round);
            EXPECT_EQ(int32(file.pc(folder).at(mapi::PidTagContentCount.id)), added[folder]) << where;
            EXPECT_EQ(file.table(contentsTableOf(folder)).rows.size(), static_cast<size_t>(added[folder])) << where;
            const ltp::TableContents siblings = file.table(hierarchyTableOf(parentOf[folder]));
            const ltp::Value* count = cell(siblings, folder, mapi::PidTagContentCount.tag());
            ASSERT_NE(count, nullptr) << where;
            EXPECT_EQ(int32(*count), added[folder]) << where;
        }
    }
    EXPECT_LE(store->contentsTablesInMemory(), 3u);
    store->close();
    expectStructurallySound(path);
}

}  // namespace
