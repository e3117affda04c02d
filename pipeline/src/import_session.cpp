#include "pipeline/import_session.h"

#include <optional>

#include "zentra/error.h"

namespace pipeline {

pst::messaging::StoreOptions ImportSettings::defaultStoreOptions() {
    pst::messaging::StoreOptions options;
    options.commitEveryMessages = 1000;
    options.commitInterval = std::chrono::seconds(2);
    return options;
}

contact::MapOptions ImportSettings::defaultMapOptions() { return contact::MapOptions{}; }

ImportSession::ImportSession(ImportSettings settings)
    : settings_(std::move(settings)), feed_(settings_.mapping, settings_.readAhead) {}

std::shared_ptr<OpenStore> ImportSession::createStore(const std::string& path, const std::string& displayName) {
    auto store = OpenStore::create(path, displayName, settings_.store);
    stores_.push_back(store);
    return store;
}

std::vector<std::shared_ptr<OpenStore>> ImportSession::stores() const {
    std::vector<std::shared_ptr<OpenStore>> out;
    for (const auto& weak : stores_)
        if (auto store = weak.lock(); store && store->attached()) out.push_back(std::move(store));
    return out;
}

void ImportSession::commitAll() {
    std::optional<zentra::Error> first;
    for (auto& store : stores()) {
        try {
            store->store().commit();
        } catch (const zentra::Error& e) {
            if (!first) first = e;
        }
    }
    if (first) throw *first;
}

}  // namespace pipeline
