#pragma once
// What one mail-store session holds for importing: the stores it attached (each with its
// folder map), the read-ahead of the files the run will import, and the mapping options of
// the run. The session component owns one; the items and folders it hands out share it.
#include <memory>
#include <string>
#include <vector>

#include "contact/mapper.h"
#include "pipeline/file_feed.h"
#include "pipeline/open_store.h"

namespace pipeline {

struct ImportSettings {
    // How the stores commit: every 1,000 contacts or every 2 seconds, whichever comes first, so
    // a kill loses at most that much work.
    pst::messaging::StoreOptions store = defaultStoreOptions();
    contact::MapOptions mapping = defaultMapOptions();
    FeedWindow readAhead;

    static pst::messaging::StoreOptions defaultStoreOptions();
    static contact::MapOptions defaultMapOptions();   // "now" read once, for the whole run
};

class ImportSession {
public:
    explicit ImportSession(ImportSettings settings = {});

    const ImportSettings& settings() const { return settings_; }
    FileFeed& feed() { return feed_; }

    // A new store file, attached to this session. Fails as pst::messaging::Store::create does.
    std::shared_ptr<OpenStore> createStore(const std::string& path, const std::string& displayName);
    // The attached stores of this session, in the order they were attached.
    std::vector<std::shared_ptr<OpenStore>> stores() const;
    // Commits every store still attached; the first failure passes on after the others commit.
    void commitAll();

private:
    ImportSettings settings_;
    FileFeed feed_;
    std::vector<std::weak_ptr<OpenStore>> stores_;
};

}  // namespace pipeline
