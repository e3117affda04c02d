#pragma once
// Storage of finished cards' properties, filled again for the next cards. A caller that reads
// into the same Card again hands back its properties, whose strings and lists are then reused
// without new allocations; on files of many small cards that is most of the parser's
// allocations. Only small properties are kept, so one huge photo is not held for the rest of
// the file.
#include <vector>

#include "vcard/card.h"

namespace vcard {

class PropertyPool {
public:
    // The caller's card while the next one is read, or nullptr. It is taken apart only when a
    // property needs storage, so at the end of the input it is left as it was.
    void setHandedBack(Card* card) { handedBack_ = card; }

    // Keeps the small properties of `done` and its list's storage; `done` is left empty.
    void recycle(Card& done);

    // An empty property list for a new card, with room for a typical card's properties.
    std::vector<Property> newList();

    // Appends a property to `properties`: a recycled one with its storage when there is one
    // (its old content is overwritten by the parser), else a new one.
    // Recycled properties are handed out in their old card's order: cards of one file list
    // their properties alike, so each tends to get the storage of one of its own kind (an ADR
    // the lists of an ADR's components, a PHOTO a photo-sized value).
    Property& append(std::vector<Property>& properties) {
        if (recycledHead_ == recycled_.size() && handedBack_) {
            recycle(*handedBack_);
            handedBack_ = nullptr;
        }
        if (recycledHead_ == recycled_.size()) return properties.emplace_back();
        properties.push_back(std::move(recycled_[recycledHead_++]));
        return properties.back();
    }

private:
    std::vector<Property> spareList_;   // the storage of a handed-back card's list
    std::vector<Property> recycled_;    // handed-back properties, to be filled again from
    std::size_t recycledHead_ = 0;      // this one on (those before it are handed out)
    Card* handedBack_ = nullptr;        // not yet recycled
};

}  // namespace vcard
