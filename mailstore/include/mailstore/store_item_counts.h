#pragma once
// How many of a store's items are on disk. Items are saved into the store at once but reach the
// file with the store's next periodic save; a caller that must not report an item as imported
// when that save failed compares the two counts. Stores that know them implement this next to
// Store; callers ask with dynamic_cast and do without it when absent.
namespace zentra::mailstore {

class StoreItemCounts {
public:
    virtual ~StoreItemCounts() = default;
    // Items saved through this store so far (each contact of a multi-card file counts).
    virtual long long ItemsSaved() = 0;
    // Of those, the items the file holds as of the store's last successful save.
    virtual long long ItemsOnDisk() = 0;
};

}  // namespace zentra::mailstore
