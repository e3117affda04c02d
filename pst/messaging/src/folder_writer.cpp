// Writing folders at commit: each folder whose state changed gets its property context and
// the tables that changed rewritten. An empty table shares the data block of its template
// (one more reference), as Outlook does, instead of writing a copy.
#include <algorithm>

#include "pst/messaging/property_tags.h"
#include "pst/messaging/table_templates.h"
#include "store_state.h"
#include "zentra/error.h"

namespace pst::messaging {

FolderState& Store::State::folderOrThrow(Nid nid) {
    auto it = folders.find(nid);
    if (it == folders.end()) throw zentra::Error(zentra::kErrFolderNotFound, "no folder with NID " + std::to_string(nid));
    return it->second;
}

const FolderState& Store::State::folderOrThrow(Nid nid) const {
    return const_cast<Store::State*>(this)->folderOrThrow(nid);
}

void Store::State::requireOpen() const {
    if (!open) throw zentra::Error(zentra::kErrStoreDetached, "the store \"" + displayName + "\" is closed");
}

void Store::State::putPropertyContext(Nid nid, const ltp::PropertyMap& props, Nid parent) {
    ltp::SubnodeNids nids;
    ltp::BuiltNode built = ltp::writePropertyContext(*db, props, nids);
    db->putNode(nid, built.data, db->writeSubnodeTree(std::move(built.subnodes)), parent);
}

void Store::State::putTable(Nid nid, const ltp::Table& table, TableTemplate kind) {
    putTableNode(nid, table.rowCount(), kind, [&] {
        ltp::SubnodeNids nids;
        return table.write(*db, nids);
    });
}

void Store::State::putTable(Nid nid, ltp::AppendTable& table, TableTemplate kind) {
    putTableNode(nid, table.rowCount(), kind, [&] { return table.write(*db); });
}

void Store::State::putTableNode(Nid nid, size_t rows, TableTemplate kind, const std::function<ltp::BuiltNode()>& write) {
    if (rows == 0) {
        Bid shared = templateData.at(kind);
        db->addRef(shared);
        db->putNode(nid, shared, 0, 0);
        return;
    }
    ltp::BuiltNode built = write();
    db->putNode(nid, built.data, db->writeSubnodeTree(std::move(built.subnodes)), 0);
}

std::map<uint32_t, ltp::Value> Store::State::hierarchyRow(const FolderState& f) {
    std::map<uint32_t, ltp::Value> row;
    row[mapi::PidTagLtpRowId.tag()] = ltp::int32Value(static_cast<int32_t>(f.nid));
    row[mapi::PidTagLtpRowVer.tag()] = ltp::int32Value(static_cast<int32_t>(++rowVersion));
    row[mapi::PidTagDisplayName.tag()] = ltp::stringValue(f.name);
    row[mapi::PidTagContentCount.tag()] = ltp::int32Value(static_cast<int32_t>(f.contentCount));
    row[mapi::PidTagContentUnreadCount.tag()] = ltp::int32Value(static_cast<int32_t>(f.unreadCount));
    row[mapi::PidTagSubfolders.tag()] = ltp::boolValue(!f.children.empty());
    if (!f.containerClass.empty())
        row[mapi::PidTagContainerClass.tag()] = ltp::stringValue(f.containerClass);
    return row;
}

void Store::State::refreshRowInParent(const FolderState& f) {
    if (f.parent == f.nid) return;   // the root folder is nobody's child
    FolderState& parent = folderOrThrow(f.parent);
    parent.hierarchy->setRow(f.nid, hierarchyRow(f));
    parent.hierarchyDirty = true;
    noteChanged(parent);
}

void Store::State::noteChanged(FolderState& folder) {
    if (folder.listedAsChanged) return;
    folder.listedAsChanged = true;
    changedFolders.push_back(folder.nid);
}

ltp::PropertyMap Store::State::folderProperties(const FolderState& f) const {
    ltp::PropertyMap props = f.extraProperties;
    props[mapi::PidTagDisplayName.id] = ltp::stringValue(f.name);
    props[mapi::PidTagContentCount.id] = ltp::int32Value(static_cast<int32_t>(f.contentCount));
    props[mapi::PidTagContentUnreadCount.id] = ltp::int32Value(static_cast<int32_t>(f.unreadCount));
    props[mapi::PidTagSubfolders.id] = ltp::boolValue(!f.children.empty());
    if (!f.containerClass.empty()) props[mapi::PidTagContainerClass.id] = ltp::stringValue(f.containerClass);
    return props;
}

// The changed folders in NID order, the order the folder map keeps: rows get their versions and
// nodes their places in the same order whichever folder changed first.
void Store::State::writeDirtyFolders() {
    std::sort(changedFolders.begin(), changedFolders.end());
    const size_t changed = changedFolders.size();   // refreshing rows adds parents at the end
    for (size_t i = 0; i < changed; ++i) {
        FolderState& f = folderOrThrow(changedFolders[i]);
        if (!f.rowInParentStale) continue;
        refreshRowInParent(f);
        f.rowInParentStale = false;
    }
    std::sort(changedFolders.begin(), changedFolders.end());
    const size_t toWrite = changedFolders.size();
    for (size_t i = 0; i < toWrite; ++i) {
        const Nid nid = changedFolders[i];
        FolderState& f = folderOrThrow(nid);
        f.listedAsChanged = false;
        if (f.pcDirty) {
            putPropertyContext(nid, folderProperties(f), f.parent);
            f.pcDirty = false;
        }
        if (f.isSearchFolder) {
            if (f.contentsDirty) {
                putTable(searchContentsTableOf(nid), templateTable(TableTemplate::SearchContents),
                         TableTemplate::SearchContents);
                f.contentsDirty = false;
            }
            f.hierarchyDirty = f.assocNeeded = false;
            continue;
        }
        if (f.hierarchyDirty) {
            putTable(hierarchyTableOf(nid), *f.hierarchy, TableTemplate::Hierarchy);
            f.hierarchyDirty = false;
        }
        if (f.contentsDirty) {
            if (f.contents) putTable(contentsTableOf(nid), *f.contents, TableTemplate::Contents);
            else putTableNode(contentsTableOf(nid), 0, TableTemplate::Contents, {});   // no message yet
            f.contentsDirty = false;
        }
        if (f.assocNeeded) {
            putTable(assocContentsTableOf(nid), templateTable(TableTemplate::AssocContents), TableTemplate::AssocContents);
            f.assocNeeded = false;
        }
    }
    changedFolders.erase(changedFolders.begin(), changedFolders.begin() + static_cast<std::ptrdiff_t>(toWrite));
}

}  // namespace pst::messaging
