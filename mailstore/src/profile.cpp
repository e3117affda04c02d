#include "mailstore/profile.h"

#include <algorithm>

#include "zentra/error.h"

namespace zentra::mailstore {

pst::messaging::Store& AttachedStore::store() {
    if (!attached()) throw Error(kErrStoreDetached, "the store \"" + displayName() + "\" is no longer attached");
    return *store_;
}

void AttachedStore::detach() {
    if (!attached()) return;
    try {
        store_->close();
    } catch (const Error&) {
        store_.reset();   // closes the file; what reached the disk is the last commit
        throw;
    }
}

Profile& Profile::instance() {
    static Profile profile;
    return profile;
}

void Profile::attach(std::shared_ptr<AttachedStore> store) {
    std::lock_guard lock(mutex_);
    stores_.push_back(std::move(store));
}

void Profile::remove(const std::shared_ptr<AttachedStore>& store) {
    std::lock_guard lock(mutex_);
    stores_.erase(std::remove(stores_.begin(), stores_.end(), store), stores_.end());
}

std::vector<std::shared_ptr<AttachedStore>> Profile::stores() const {
    std::lock_guard lock(mutex_);
    return stores_;
}

void Profile::detachAll() {
    std::vector<std::shared_ptr<AttachedStore>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(stores_);
    }
    for (auto& s : all) {
        try {
            s->detach();
        } catch (const Error&) {
            // The file keeps its last commit; detaching the others matters more.
        }
    }
}

}  // namespace zentra::mailstore
