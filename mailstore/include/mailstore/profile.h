#pragma once
// The one process-wide profile of attached stores that both components see: a store attached
// through a session is visible in the mail client's namespace at once.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pst/messaging/store.h"

namespace zentra::mailstore {

// One attached store. Objects handed out (stores, folders) hold it and check attached()
// before every call, so a folder kept after Remove fails cleanly instead of writing.
class AttachedStore {
public:
    explicit AttachedStore(std::unique_ptr<pst::messaging::Store> store)
        : store_(std::move(store)), displayName_(store_->displayName()) {}
    bool attached() const { return store_ != nullptr && store_->isOpen(); }
    // kErrStoreDetached when the store was removed.
    pst::messaging::Store& store();
    // Commit and close; the file stays on disk. When the commit fails the store is closed
    // anyway (the file keeps its last commit) and the error passes on.
    void detach();
    const std::string& displayName() const { return displayName_; }

private:
    std::unique_ptr<pst::messaging::Store> store_;
    std::string displayName_;
};

class Profile {
public:
    static Profile& instance();

    void attach(std::shared_ptr<AttachedStore> store);
    void remove(const std::shared_ptr<AttachedStore>& store);
    std::vector<std::shared_ptr<AttachedStore>> stores() const;   // in attach order

    // Detaches every store; tests use it to start from an empty profile.
    void detachAll();

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<AttachedStore>> stores_;
};

}  // namespace zentra::mailstore
