#include "property_pool.h"

#include <algorithm>

namespace vcard {

namespace {

constexpr std::size_t kMaxRecycledBytes = 4096;
constexpr std::size_t kMaxRecycled = 256;
constexpr std::size_t kTypicalProperties = 32;

bool isSmall(const Property& p) {
    return p.rawValue.capacity() + p.value.capacity() + p.bytes.capacity() <= kMaxRecycledBytes;
}

}  // namespace

void PropertyPool::recycle(Card& done) {
    if (done.properties.empty()) return;
    if (recycledHead_ == recycled_.size()) {
        recycled_.clear();
        recycledHead_ = 0;
        recycled_.swap(done.properties);   // the usual case: no element is moved
        if (recycled_.size() > kMaxRecycled) recycled_.resize(kMaxRecycled);
        if (!std::all_of(recycled_.begin(), recycled_.end(), isSmall))
            recycled_.erase(std::remove_if(recycled_.begin(), recycled_.end(), [](const Property& p) { return !isSmall(p); }),
                            recycled_.end());
    } else {
        for (Property& p : done.properties)
            if (recycled_.size() < kMaxRecycled && isSmall(p)) recycled_.push_back(std::move(p));
    }
    done.properties.clear();
    if (done.properties.capacity() > spareList_.capacity()) spareList_ = std::move(done.properties);
}

std::vector<Property> PropertyPool::newList() {
    std::vector<Property> list = std::move(spareList_);
    spareList_ = std::vector<Property>();
    if (list.capacity() < kTypicalProperties) list.reserve(kTypicalProperties);
    return list;
}

}  // namespace vcard
