#include "mailstore/profile.h"

#include <algorithm>

#include "pst/messaging/case_folding.h"
#include "zentra/error.h"

namespace zentra::mailstore {

Profile::~Profile() {
    // The program's run detaches its store itself and reports a failure; what is left here was
    // attached by a run that ended through its error path, whose message has been shown.
    (void)detachAll();
}

void Profile::attach(std::shared_ptr<pipeline::OpenStore> store) {
    std::lock_guard lock(mutex_);
    stores_.push_back(std::move(store));
}

void Profile::remove(const std::shared_ptr<pipeline::OpenStore>& store) {
    std::lock_guard lock(mutex_);
    stores_.erase(std::remove(stores_.begin(), stores_.end(), store), stores_.end());
}

std::vector<std::shared_ptr<pipeline::OpenStore>> Profile::stores() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<pipeline::OpenStore>> out;
    for (const auto& s : stores_)
        if (s->attached()) out.push_back(s);
    return out;
}

std::shared_ptr<pipeline::OpenStore> Profile::storeNamed(const std::string& displayName) const {
    for (auto& store : stores())
        if (pst::messaging::sameIgnoringCase(store->displayName(), displayName)) return store;
    return nullptr;
}

std::optional<zentra::Error> Profile::detachAll() {
    std::vector<std::shared_ptr<pipeline::OpenStore>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(stores_);
    }
    std::optional<zentra::Error> first;
    for (auto& s : all) {
        try {
            s->detach();
        } catch (const zentra::Error& e) {
            if (!first) first = e;   // the file keeps its last commit; the others still detach
        }
    }
    return first;
}

}  // namespace zentra::mailstore
