#include "pst/messaging/store.h"

#include <filesystem>

#include "pst/messaging/case_folding.h"
#include "pst/messaging/property_tags.h"
#include "pst/messaging/table_templates.h"
#include "store_state.h"
#include "zentra/error.h"

namespace pst::messaging {
namespace {

// PidTagValidFolderMask bits ([MS-PST] 2.4.3.1): IPM subtree, wastebasket and finder are valid.
constexpr int32_t kFolderIpmSubtreeValid = 0x01;
constexpr int32_t kFolderIpmWastebasketValid = 0x08;
constexpr int32_t kFolderFinderValid = 0x80;

FolderState& addSpecialFolder(Store::State& s, Nid nid, Nid parent, std::string name, bool search = false) {
    FolderState& f = s.folders[nid];
    f.nid = nid;
    f.parent = parent;
    f.name = std::move(name);
    f.isSearchFolder = search;
    s.noteChanged(f);   // a new folder has all its nodes to write
    if (!search) {
        f.hierarchy = std::make_unique<ltp::Table>(templateTable(TableTemplate::Hierarchy));
    }
    return f;
}

// Adds child below parent, with its hierarchy row. When it is the parent's first child, the
// parent's PidTagSubfolders changes, and so does the copy in the grandparent's row.
void linkChild(Store::State& s, FolderState& parent, FolderState& child) {
    bool firstChild = parent.children.empty();
    parent.children.push_back(child.nid);
    parent.childByKey.emplace(caseBlindKey(child.name), child.nid);
    parent.pcDirty = true;
    parent.hierarchyDirty = true;
    s.noteChanged(parent);
    parent.hierarchy->setRow(child.nid, s.hierarchyRow(child));
    if (firstChild) s.refreshRowInParent(parent);
}

void writeTemplates(Store::State& s) {
    const std::pair<Nid, TableTemplate> templates[] = {
        {nid::kHierarchyTableTemplate, TableTemplate::Hierarchy},
        {nid::kContentsTableTemplate, TableTemplate::Contents},
        {nid::kAssocContentsTableTemplate, TableTemplate::AssocContents},
        {nid::kSearchContentsTableTemplate, TableTemplate::SearchContents},
        {nid::kRecipientTable, TableTemplate::Recipient},
        {nid::kAttachmentTable, TableTemplate::Attachment},
    };
    for (const auto& [templateNid, which] : templates) {
        ltp::SubnodeNids nids;
        ltp::BuiltNode built = templateTable(which).write(*s.db, nids);
        s.db->putNode(templateNid, built.data, s.db->writeSubnodeTree(std::move(built.subnodes)), 0);
        s.templateData[which] = built.data;   // empty folder tables share these blocks
    }
}

void writeMessageStore(Store::State& s) {
    ltp::PropertyMap props;
    props[mapi::PidTagRecordKey.id] = ltp::binaryValue({s.uid.begin(), s.uid.end()});
    props[mapi::PidTagDisplayName.id] = ltp::stringValue(s.displayName);
    props[mapi::PidTagValidFolderMask.id] =
        ltp::int32Value(kFolderIpmSubtreeValid | kFolderIpmWastebasketValid | kFolderFinderValid);
    props[mapi::PidTagIpmSubtreeEntryId.id] = ltp::binaryValue(makeEntryId(s.uid, nid::kIpmSubtree));
    props[mapi::PidTagIpmWastebasketEntryId.id] = ltp::binaryValue(makeEntryId(s.uid, nid::kDeletedItems));
    props[mapi::PidTagFinderEntryId.id] = ltp::binaryValue(makeEntryId(s.uid, nid::kSearchRoot));
    props[mapi::PidTagPstPassword.id] = ltp::int32Value(0);   // non-zero would make Outlook ask for one
    s.putPropertyContext(nid::kMessageStore, props, 0);
}

// What a commit writes above the node database: changed folders and the name-to-ID map.
void writePending(Store::State& s) {
    s.writeDirtyFolders();
    if (s.names.dirty()) {
        s.putPropertyContext(nid::kNameToIdMap, s.names.toProperties(), 0);
        s.names.markClean();
    }
}

// The node database has committed everything written so far.
void markCommitted(Store::State& s) {
    s.messagesCommitted = s.messagesAdded;
    s.messagesSinceCommit = 0;
    s.lastCommit = std::chrono::steady_clock::now();
}

}  // namespace

Store::Store(std::unique_ptr<State> state) : state_(std::move(state)) {}

Store::~Store() {
    if (state_ && state_->open) {
        try {
            close();
        } catch (...) {
            // The file stays at its last commit, which is a valid store.
        }
    }
}

std::unique_ptr<Store> Store::create(const std::string& path, const std::string& displayName,
                                     const StoreOptions& options) {
    auto s = std::make_unique<State>();
    s->db = ndb::NodeDatabase::create(path, options.database);
    // The file takes its name at the first commit, when it holds a valid store, and a database
    // that never commits takes its file with it: a failure in here leaves neither a broken .pst
    // nor a name that blocks a retry, and a file that took the name meanwhile is never replaced.
    return createIn(std::move(s), displayName, options);
}

std::unique_ptr<Store> Store::createIn(std::unique_ptr<State> s, const std::string& displayName,
                                       const StoreOptions& options) {
    s->displayName = displayName;
    s->uid = options.uid ? *options.uid : randomStoreUid();
    s->options = options;

    writeTemplates(*s);
    writeMessageStore(*s);
    // libpff refuses a store whose name-to-ID map has no entries (the bare map [MS-PST] 2.7.3.2
    // allows), and pst-extractor one whose string stream is empty. The map therefore starts with
    // names a contacts store uses anyway: the File Under pair and the categories ("Keywords").
    s->names.idFor(mapi::PidLidFileUnder.set, mapi::PidLidFileUnder.lid);
    s->names.idFor(mapi::PidLidFileUnderId.set, mapi::PidLidFileUnderId.lid);
    s->names.idFor(mapi::PidNameKeywords.set, mapi::PidNameKeywords.name);
    s->db->putNode(nid::kSearchManagementQueue, 0, 0, 0);
    s->db->putNode(nid::kSearchActivityList, 0, 0, 0);

    FolderState& root = addSpecialFolder(*s, nid::kRootFolder, nid::kRootFolder, "");
    FolderState& ipm = addSpecialFolder(*s, nid::kIpmSubtree, nid::kRootFolder, "Top of Personal Folders");
    FolderState& searchRoot = addSpecialFolder(*s, nid::kSearchRoot, nid::kRootFolder, "Search Root");
    FolderState& spam = addSpecialFolder(*s, nid::kSpamSearchFolder, nid::kRootFolder, "SPAM Search Folder 2", true);
    FolderState& deleted = addSpecialFolder(*s, nid::kDeletedItems, nid::kIpmSubtree, "Deleted Items");
    linkChild(*s, root, ipm);
    linkChild(*s, root, searchRoot);
    linkChild(*s, root, spam);
    linkChild(*s, ipm, deleted);

    auto store = std::unique_ptr<Store>(new Store(std::move(s)));
    try {
        store->commit();
    } catch (...) {
        store->state_->open = false;   // nothing to commit on the way out: the file goes
        throw;
    }
    return store;
}

const std::string& Store::path() const { return state_->db->path(); }
const std::string& Store::displayName() const { return state_->displayName; }
const StoreUid& Store::uid() const { return state_->uid; }
bool Store::isOpen() const { return state_->open; }
Nid Store::rootFolder() const { return nid::kRootFolder; }
Nid Store::ipmSubtree() const { return nid::kIpmSubtree; }
Nid Store::deletedItems() const { return nid::kDeletedItems; }
Nid Store::searchRoot() const { return nid::kSearchRoot; }
NameToIdMap& Store::nameToIdMap() { return state_->names; }
ndb::NodeDatabase& Store::database() { return *state_->db; }
ltp::PropertyMap Store::messageProperties(Nid message) {
    const std::optional<ndb::NodeInfo> node = state_->db->findNode(message);
    if (!node || nidType(message) != kNidTypeNormalMessage)
        throw zentra::Error(zentra::kErrInvalidArgument, "no message with NID " + std::to_string(message));
    return ltp::readPropertyContext(*state_->db, node->data, node->subnodes);
}

size_t Store::contentsTablesInMemory() const { return state_->contentsHeld.size(); }

std::vector<uint8_t> Store::entryIdOf(Nid nid) const { return makeEntryId(state_->uid, nid); }

std::optional<Nid> Store::nidFromEntryId(std::span<const uint8_t> entryId) const {
    auto parsed = parseEntryId(entryId);
    if (!parsed || parsed->uid != state_->uid) return std::nullopt;
    return parsed->nid;
}

bool Store::hasFolder(Nid nid) const { return state_->folders.count(nid) != 0; }

FolderInfo Store::folder(Nid nid) const {
    const FolderState& f = state_->folderOrThrow(nid);
    return {f.nid, f.parent, f.name, f.containerClass, f.contentCount, f.unreadCount, !f.children.empty(),
            f.isSearchFolder};
}

std::vector<FolderInfo> Store::subfolders(Nid parent) const {
    std::vector<FolderInfo> out;
    for (Nid child : state_->folderOrThrow(parent).children) out.push_back(folder(child));
    return out;
}

std::optional<Nid> Store::findSubfolder(Nid parent, std::string_view name) const {
    const FolderState& f = state_->folderOrThrow(parent);
    auto it = f.childByKey.find(caseBlindKey(name));
    if (it == f.childByKey.end()) return std::nullopt;
    return it->second;
}

Nid Store::createFolder(Nid parentNid, const std::string& name, const std::string& containerClass) {
    State& s = *state_;
    s.requireOpen();
    FolderState& parent = s.folderOrThrow(parentNid);
    if (parent.isSearchFolder)
        throw zentra::Error(zentra::kErrInvalidArgument, "a search folder cannot hold folders: \"" + parent.name + "\"");
    if (name.empty()) throw zentra::Error(zentra::kErrInvalidArgument, "a folder name cannot be empty");
    if (auto existing = parent.childByKey.find(caseBlindKey(name)); existing != parent.childByKey.end()) {
        throw zentra::Error(zentra::kErrFolderExists, "a folder named \"" + s.folders.at(existing->second).name +
                                                          "\" already exists in \"" + parent.name + "\"");
    }
    // The header's counter can hand out an index whose nodes already exist (the fixed folders
    // of a new store sit at indexes the counter has not passed yet); skip those.
    Nid nid = 0;
    do {
        nid = s.db->allocateNid(kNidTypeNormalFolder);
    } while (s.folders.count(nid) || s.db->findNode(nid) || s.db->findNode(hierarchyTableOf(nid)) ||
             s.db->findNode(contentsTableOf(nid)) || s.db->findNode(assocContentsTableOf(nid)));

    FolderState& f = addSpecialFolder(s, nid, parentNid, name);
    f.containerClass = containerClass;
    linkChild(s, parent, f);
    return nid;
}

void Store::commit() {
    State& s = *state_;
    s.requireOpen();
    writePending(s);
    s.db->commit();
    markCommitted(s);
    s.parkIdleContents();
}

uint64_t Store::messageCount() const { return state_->messagesAdded; }
uint64_t Store::committedMessageCount() const { return state_->messagesCommitted; }

void Store::close() {
    State& s = *state_;
    s.requireOpen();
    // The database's close commits once more itself, without setting room aside for more
    // messages as a commit here would.
    writePending(s);
    s.open = false;
    s.db->close();
    markCommitted(s);
}

}  // namespace pst::messaging
