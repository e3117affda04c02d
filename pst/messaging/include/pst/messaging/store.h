#pragma once
// A new Unicode personal folders file: the message store, its name-to-ID map, the folder tree
// and the messages in it, written through the LTP and node database layers.
//
// create() writes every node [MS-PST] 2.7.1 makes mandatory and commits once, so the file on
// disk is a valid empty store before create() returns. Folder and message calls change the
// in-memory state and write message data at once; folder property contexts and their
// hierarchy and contents tables are rewritten at the next commit(), not per call. commit() may
// run at any time (a long import calls it periodically); close() commits and closes.
//
// Every failure throws zentra::Error.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pst/core/types.h"
#include "pst/ltp/ltp.h"
#include "pst/messaging/entry_id.h"
#include "pst/messaging/name_to_id_map.h"
#include "pst/ndb/node_database.h"

namespace pst::messaging {

struct StoreOptions {
    ndb::Options database;
    // Provider UID (PidTagRecordKey); a random one when unset. Tests fix it.
    std::optional<StoreUid> uid;
    // Commit after this many addMessage calls since the last commit; 0 = only when asked.
    uint32_t commitEveryMessages = 0;
    // Commit at the first addMessage this long after the last commit; 0 = never by time. With
    // both set, whichever comes first.
    std::chrono::milliseconds commitInterval{0};
    // Contents tables kept in memory after a commit: a folder's open heap pages and last rows
    // take some 20 KB, too much to keep for each of 10,000 folders. A table parked beyond this
    // count is read back from the file when its folder gets another message, and then written
    // again whole, so the folders written to in turn should fit.
    size_t contentsTablesInMemory = 64;
};

struct FolderInfo {
    Nid nid = 0;
    Nid parent = 0;
    std::string name;             // PidTagDisplayName, UTF-8
    std::string containerClass;   // PidTagContainerClass, empty when unset
    uint32_t contentCount = 0;
    uint32_t unreadCount = 0;
    bool hasSubfolders = false;   // PidTagSubfolders
    bool isSearchFolder = false;
};

// One attachment of a message: its properties (PidTagAttachDataBinary 0x3701 holds the bytes).
// The writer sets PidTagAttachNumber (the position in the list), PidTagAttachMethod (1, by
// value), PidTagRenderingPosition (-1) and PidTagAttachSize itself.
struct AttachmentData {
    ltp::PropertyMap properties;
};

class Store {
public:
    // Fails with kErrStoreCreate (path and the system's reason) when the file exists or cannot
    // be created, and with the database's error when the first commit fails.
    static std::unique_ptr<Store> create(const std::string& path, const std::string& displayName,
                                         const StoreOptions& options = {});

    ~Store();   // closes (and so commits) a store still open; errors are lost then: call close()
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& path() const;
    const std::string& displayName() const;
    const StoreUid& uid() const;
    bool isOpen() const;

    // The [MS-PST] 2.4.3.2 entry id of a node of this store, and back; nidFromEntryId gives
    // nullopt for another store's id or a malformed one.
    std::vector<uint8_t> entryIdOf(Nid nid) const;
    std::optional<Nid> nidFromEntryId(std::span<const uint8_t> entryId) const;

    Nid rootFolder() const;   // 0x122
    Nid ipmSubtree() const;   // "Top of Personal Folders"
    Nid deletedItems() const;
    Nid searchRoot() const;

    bool hasFolder(Nid nid) const;
    FolderInfo folder(Nid nid) const;                        // kErrFolderNotFound
    std::vector<FolderInfo> subfolders(Nid parent) const;    // in creation order
    std::optional<Nid> findSubfolder(Nid parent, std::string_view name) const;   // ignores case

    // A new normal folder below parent: PC, hierarchy, contents and FAI tables with one
    // nidIndex. kErrFolderExists when a sibling has the same name ignoring case,
    // kErrInvalidArgument for an empty name, kErrFolderNotFound for a missing parent.
    Nid createFolder(Nid parent, const std::string& name, const std::string& containerClass);

    // A new message (NID type 0x04) in folder. properties must hold PidTagMessageClass; the
    // other properties [MS-PST] 2.4.5 requires get defaults when absent (read, created and
    // modified now); MSGFLAG_HASATTACH and PidTagHasAttachments follow `attachments`. Returns
    // its NID.
    // The map is taken by value: a caller that has no further use for it moves it in.
    Nid addMessage(Nid folder, ltp::PropertyMap properties,
                   const std::vector<AttachmentData>& attachments = {});
    // The same on the caller's map, which receives the defaults and PidTagMessageSize and keeps
    // its memory for the caller's next message: an import that clears and refills one map does
    // not allocate a property vector per message.
    Nid addMessageFrom(Nid folder, ltp::PropertyMap& properties, const std::vector<AttachmentData>& attachments);

    // The properties of a message added to this store, read back from its node
    // (kErrInvalidArgument for a NID that is no message of it).
    ltp::PropertyMap messageProperties(Nid message);

    NameToIdMap& nameToIdMap();

    void commit();
    void close();
    // Messages added over the store's life, and how many of them the last successful commit
    // holds (the file on disk has exactly those); also answered after a failure.
    uint64_t messageCount() const;
    uint64_t committedMessageCount() const;   // commit, then close the file; the object only answers queries afterwards

    ndb::NodeDatabase& database();   // for tests that read nodes back
    size_t contentsTablesInMemory() const;   // for tests and benchmarks

    struct State;   // defined by the implementation only

private:
    explicit Store(std::unique_ptr<State> state);
    static std::unique_ptr<Store> createIn(std::unique_ptr<State> state, const std::string& displayName,
                                           const StoreOptions& options);
    std::unique_ptr<State> state_;
};

}  // namespace pst::messaging
