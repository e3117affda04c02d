// Writing one message ([MS-PST] 2.4.5): its property context, a subnode tree with the
// recipient table (always, template columns, no rows), the attachment table and one
// attachment object per attachment, and its row in the folder's contents table. The empty
// recipient table is one data block shared by many messages, as Outlook shares template blocks.
//
// PidTagMessageSize is the size the message takes on disk (data tree plus subnode tree), which
// readers and scanpst compare. The value is inline in the PC, so the PC's size does not depend
// on it: the PC is laid out, measured and then written once with the measured value.
#include <chrono>
#include <optional>
#include <random>

#include "pst/core/le_codec.h"
#include "pst/ltp/sized_property_context.h"
#include "mapi/filetime.h"
#include "pst/messaging/property_tags.h"
#include "pst/messaging/table_templates.h"
#include "store_state.h"
#include "zentra/error.h"

namespace pst::messaging {
namespace {

// These facts about a message are decided here and nowhere else, since only the writer knows
// them for certain:
// - PidTagMessageFlags: MSGFLAG_HASATTACH follows the attachments actually written, whatever the
//   caller set; MSGFLAG_READ is the default (an imported item has nobody who has not read it),
//   so callers give the flags only to store an unread message.
// - PidTagCreationTime and PidTagLastModificationTime: the time the message is written, unless
//   the caller knows a better modification time (a card's REV).
// - Attachments: numbered in the order given (PidTagAttachNumber), stored by value (the only
//   kind AttachmentData carries) and rendered nowhere in the body (-1), since no body this
//   engine writes has a place for them.
constexpr int32_t kMsgFlagRead = 0x01;        // MSGFLAG_READ
constexpr int32_t kMsgFlagHasAttach = 0x10;   // MSGFLAG_HASATTACH
constexpr int32_t kAttachByValue = 1;         // afByValue
constexpr int32_t kNotRendered = -1;          // PidTagRenderingPosition 0xFFFFFFFF

// A search key only has to be unique, not unpredictable: a generator started once per thread
// from the system's random source, instead of opening that source for every message.
std::vector<uint8_t> randomSearchKey() {
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        return std::mt19937_64((uint64_t{device()} << 32) | device());
    }();
    std::vector<uint8_t> key(16);
    for (size_t i = 0; i < key.size(); i += 8) {
        uint64_t r = generator();
        for (size_t k = 0; k < 8; ++k) key[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    return key;
}

// The cells of a table row copied from an object's properties, for the table's columns.
std::map<uint32_t, ltp::Value> copiedCells(const std::vector<ltp::Column>& columns, const ltp::PropertyMap& props,
                                           Nid rowId, uint32_t rowVersion) {
    std::map<uint32_t, ltp::Value> cells;
    for (const ltp::Column& c : columns) {
        auto it = props.find(tagId(c.tag));
        if (it != props.end() && it->second.type == tagType(c.tag)) cells[c.tag] = it->second;
    }
    cells[mapi::PidTagLtpRowId.tag()] = ltp::int32Value(static_cast<int32_t>(rowId));
    cells[mapi::PidTagLtpRowVer.tag()] = ltp::int32Value(static_cast<int32_t>(rowVersion));
    return cells;
}

// Writes a property context whose size property (sizeId) holds the bytes the object takes in
// the file; props receives the size too, for the object's row in its table. extraSubnodes go
// into its subnode tree as well. Returns the node's data and subnodes.
std::pair<Bid, Bid> writeSizedObject(ndb::NodeDatabase& db, ltp::PropertyMap& props, uint16_t sizeId,
                                     std::vector<ndb::SubnodeEntry> extraSubnodes) {
    ltp::SizedNode node = ltp::writeSizedPropertyContext(db, props, sizeId, std::move(extraSubnodes));
    return {node.data, node.subnodes};
}

}  // namespace

Bid Store::State::sharedRecipientTable() {
    // A block's reference count is 16 bits on disk; before it gets there, the next messages
    // share a fresh copy instead.
    constexpr uint16_t kShareLimit = 0xF000;
    if (!sharedRecipients) sharedRecipients = templateData.at(TableTemplate::Recipient);
    std::optional<ndb::BlockInfo> block = db->findBlock(sharedRecipients);
    if (block && block->cRef < kShareLimit) {
        db->addRef(sharedRecipients);
        return sharedRecipients;
    }
    ltp::SubnodeNids nids;
    ltp::BuiltNode copy = templateTable(TableTemplate::Recipient).write(*db, nids);
    if (!copy.subnodes.empty()) throw zentra::Error(zentra::kErrInvalidArgument, "an empty table with subnodes");
    sharedRecipients = copy.data;   // the first message holds the copy's reference
    return copy.data;
}

Nid Store::addMessage(Nid folderNid, ltp::PropertyMap props, const std::vector<AttachmentData>& attachments) {
    return addMessageFrom(folderNid, props, attachments);
}

Nid Store::addMessageFrom(Nid folderNid, ltp::PropertyMap& props, const std::vector<AttachmentData>& attachments) {
    State& s = *state_;
    s.requireOpen();
    FolderState& folder = s.folderOrThrow(folderNid);
    if (folder.isSearchFolder)
        throw zentra::Error(zentra::kErrInvalidArgument, "messages cannot be added to a search folder");
    auto cls = props.find(mapi::PidTagMessageClass.id);
    if (cls == props.end() || cls->second.type != ltp::kPtypString)
        throw zentra::Error(zentra::kErrInvalidArgument, "a message needs PidTagMessageClass");

    // Before anything is written: a table that cannot be read back leaves no message without its row.
    ltp::AppendTable& contents = s.contentsOf(folder);

    // The defaults go in together, in id order: inserted one by one, each would shift the
    // properties above it again. The size is a placeholder the property context fills in.
    const mapi::FileTime now = mapi::fileTimeNow();
    std::pair<uint16_t, ltp::Value> defaults[] = {
        {mapi::PidTagMessageFlags.id, ltp::int32Value(kMsgFlagRead)},
        {mapi::PidTagMessageSize.id, ltp::int32Value(0)},
        {mapi::PidTagMessageStatus.id, ltp::int32Value(0)},
        {mapi::PidTagHasAttachments.id, ltp::boolValue(false)},
        {mapi::PidTagCreationTime.id, ltp::timeValue(now)},
        {mapi::PidTagLastModificationTime.id, ltp::timeValue(now)},
        {mapi::PidTagSearchKey.id, ltp::binaryValue(randomSearchKey())},
    };
    props.insertAbsent(defaults);
    ltp::Value& given = props.at(mapi::PidTagMessageFlags.id);
    if (given.type != ltp::kPtypInteger32 || given.bytes.size() != 4)
        throw zentra::Error(zentra::kErrInvalidArgument, "PidTagMessageFlags must be a 32-bit integer");
    auto flags = static_cast<int32_t>(core::readLe32(given.bytes, 0));
    // The has-attachments flag follows the attachments actually written, whatever the caller set.
    flags = attachments.empty() ? (flags & ~kMsgFlagHasAttach) : (flags | kMsgFlagHasAttach);
    core::writeLe32(given.bytes, 0, static_cast<uint32_t>(flags));
    props.at(mapi::PidTagHasAttachments.id) = ltp::boolValue(!attachments.empty());

    ndb::NodeDatabase& db = *s.db;
    std::vector<ndb::SubnodeEntry> subnodes;
    subnodes.push_back({nid::kRecipientTable, s.sharedRecipientTable(), 0});
    if (!attachments.empty()) {
        std::vector<ltp::Column> columns = attachmentTableColumns();
        ltp::Table table = templateTable(TableTemplate::Attachment);
        for (size_t i = 0; i < attachments.size(); ++i) {
            Nid attachNid = makeNid(kNidTypeAttachment, static_cast<uint32_t>(i + 1));
            ltp::PropertyMap a = attachments[i].properties;
            a.insert_or_assign(mapi::PidTagAttachNumber.id, ltp::int32Value(static_cast<int32_t>(i)));
            a.insert_or_assign(mapi::PidTagAttachMethod.id, ltp::int32Value(kAttachByValue));
            a.insert_or_assign(mapi::PidTagRenderingPosition.id, ltp::int32Value(kNotRendered));
            auto [data, sub] = writeSizedObject(db, a, mapi::PidTagAttachSize.id, {});
            subnodes.push_back({attachNid, data, sub});
            table.setRow(attachNid, copiedCells(columns, a, attachNid, ++s.rowVersion));
        }
        ltp::SubnodeNids nids;
        ltp::BuiltNode built = table.write(db, nids);
        subnodes.push_back({nid::kAttachmentTable, built.data, db.writeSubnodeTree(std::move(built.subnodes))});
    }

    Nid nid = 0;
    do {
        nid = db.allocateNid(kNidTypeNormalMessage);
    } while (db.findNode(nid));
    auto [data, sub] = writeSizedObject(db, props, mapi::PidTagMessageSize.id, std::move(subnodes));
    db.putNode(nid, data, sub, folderNid);

    contents.appendRow(nid, ++s.rowVersion, props);
    folder.contentCount += 1;
    if ((flags & kMsgFlagRead) == 0) folder.unreadCount += 1;
    folder.contentsDirty = true;
    folder.pcDirty = true;
    folder.rowInParentStale = true;   // once per commit, not once per message
    s.noteChanged(folder);

    ++s.messagesSinceCommit;
    ++s.messagesAdded;
    folder.lastMessage = s.messagesAdded;
    bool countReached = s.options.commitEveryMessages != 0 && s.messagesSinceCommit >= s.options.commitEveryMessages;
    bool intervalPassed = s.options.commitInterval.count() > 0 &&
                          std::chrono::steady_clock::now() - s.lastCommit >= s.options.commitInterval;
    if (countReached || intervalPassed) commit();
    return nid;
}

}  // namespace pst::messaging
