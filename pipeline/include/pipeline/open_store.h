#pragma once
// A store an import writes into: the engine's store, the folders made in it (found again by
// their path without walking the tree), and the writing of staged contacts.
//
// Folders are known by the path of names below the top of the store's visible tree, joined
// with "\" exactly as they were created ("home\ann\cards"); a path the map does not know is
// looked up level by level ignoring case, as a mail store looks folders up.
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "pipeline/held_groups.h"
#include "pipeline/stored_contact.h"
#include "pst/messaging/store.h"

namespace pipeline {

class OpenStore {
public:
    // Creates the file; fails as pst::messaging::Store::create does.
    static std::shared_ptr<OpenStore> create(const std::string& path, const std::string& displayName,
                                             const pst::messaging::StoreOptions& options);

    bool attached() const { return store_ != nullptr && store_->isOpen(); }
    // kErrStoreDetached once detached.
    pst::messaging::Store& store();
    const std::string& displayName() const { return displayName_; }
    // Write the held groups, commit and close; the file stays. When a write or the commit fails
    // the store is closed anyway (the file keeps its last commit) and the error passes on.
    void detach();

    // A new folder below parent, remembered under its path.
    pst::Nid createFolder(pst::Nid parent, const std::string& name, const std::string& containerClass);
    // The folder at a path below the top of the visible tree ("" is the top); nullopt when none.
    std::optional<pst::Nid> folderAt(const std::string& path);

    // Stores one contact in a folder: named properties get their ids from the store's map. A
    // group is held and written as a distribution list when the store is detached. Returns the
    // message's NID, 0 for a group held.
    pst::Nid addContact(pst::Nid folder, contact::ContactItem&& contact);
    // Messages saved through this store (held groups included), and how many of them its file
    // holds as of the last successful save (a kill or a failed save loses the rest).
    long long messagesSaved() const {
        return store_ ? static_cast<long long>(store_->messageCount() + groups_.size()) : savedAtClose_;
    }
    long long messagesOnDisk() const {
        return store_ ? static_cast<long long>(store_->committedMessageCount()) : onDiskAtClose_;
    }

private:
    OpenStore(std::unique_ptr<pst::messaging::Store> store);

    std::unique_ptr<pst::messaging::Store> store_;
    std::string displayName_;
    std::unordered_map<std::string, pst::Nid> folderByPath_;
    std::unordered_map<pst::Nid, std::string> pathOfFolder_;
    HeldGroups groups_;
    StoredContact staged_;   // the contact being written; its memory serves the next one
    long long savedAtClose_ = 0;
    long long onDiskAtClose_ = 0;
};

}  // namespace pipeline
