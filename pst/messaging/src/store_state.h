#pragma once
// The in-memory side of an open store, shared by the store, folder and message code.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "pst/ltp/append_table.h"
#include "pst/ltp/ltp.h"
#include "pst/messaging/store.h"
#include "pst/messaging/table_templates.h"
#include "pst/ndb/node_database.h"

namespace pst::messaging {

struct FolderState {
    Nid nid = 0;
    Nid parent = 0;
    std::string name;
    std::string containerClass;
    ltp::PropertyMap extraProperties;   // written into the PC as they are (e.g. a comment)
    bool isSearchFolder = false;
    uint32_t contentCount = 0;
    uint32_t unreadCount = 0;
    std::vector<Nid> children;                         // creation order
    std::unordered_map<std::string, Nid> childByKey;   // case-blind name -> child
    std::unique_ptr<ltp::Table> hierarchy;             // rows: one per child
    // Rows: one per message, in NID order. In memory only while the folder is among those
    // written to last (contents_tables.cpp); null: the table is its node on disk, or empty.
    std::unique_ptr<ltp::AppendTable> contents;
    uint64_t lastMessage = 0;                          // messagesAdded when it got its last message
    // What the next commit must (re)write.
    bool pcDirty = true;
    bool hierarchyDirty = true;
    bool contentsDirty = true;
    bool assocNeeded = true;
    bool rowInParentStale = false;   // counts changed; the parent's row is refreshed at commit
    bool listedAsChanged = false;    // in Store::State::changedFolders
};

struct Store::State {
    std::unique_ptr<ndb::NodeDatabase> db;
    std::string displayName;
    StoreUid uid{};
    StoreOptions options;
    bool open = true;
    std::map<Nid, FolderState> folders;
    std::map<TableTemplate, Bid> templateData;   // data block of each template node
    Bid sharedRecipients = 0;                   // the empty recipient table messages share now
    NameToIdMap names;
    uint32_t rowVersion = 0;                    // PidTagLtpRowVer of the next row written
    uint32_t messagesSinceCommit = 0;
    uint64_t messagesAdded = 0;                 // by addMessage, over the store's life
    uint64_t messagesCommitted = 0;             // of those, held by the last successful commit
    std::chrono::steady_clock::time_point lastCommit = std::chrono::steady_clock::now();

    FolderState& folderOrThrow(Nid nid);
    const FolderState& folderOrThrow(Nid nid) const;
    void requireOpen() const;

    // Node writing helpers used at commit and at creation.
    void putPropertyContext(Nid nid, const ltp::PropertyMap& props, Nid parent);
    void putTable(Nid nid, const ltp::Table& table, TableTemplate kind);
    void putTable(Nid nid, ltp::AppendTable& table, TableTemplate kind);
    // An empty table shares its template's data block; any other is written by `write`.
    void putTableNode(Nid nid, size_t rows, TableTemplate kind, const std::function<ltp::BuiltNode()>& write);
    // An empty recipient table for a new message, one reference handed to the caller.
    Bid sharedRecipientTable();

    // The hierarchy row a folder has in its parent's hierarchy table.
    std::map<uint32_t, ltp::Value> hierarchyRow(const FolderState& folder);
    void refreshRowInParent(const FolderState& folder);
    // The folder's contents table in memory, read back from its node if it was parked.
    ltp::AppendTable& contentsOf(FolderState& folder);
    // After a commit: the contents tables beyond StoreOptions::contentsTablesInMemory leave
    // memory, those that got their last message longest ago first.
    void parkIdleContents();
    std::vector<Nid> contentsHeld;   // folders whose contents table is in memory
    ltp::PropertyMap folderProperties(const FolderState& folder) const;
    // A commit looks only at the folders changed since the last one, not at every folder: a
    // store of ten thousand folders is committed a thousand times in an import.
    void noteChanged(FolderState& folder);
    std::vector<Nid> changedFolders;
    void writeDirtyFolders();
};

}  // namespace pst::messaging
