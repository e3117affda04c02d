// Property keys: string names, comparison and description.
#include "mapi/property_key.h"

#include <algorithm>
#include <cstdio>

#include "zentra/text.h"

namespace mapi {

PropertyKey PropertyKey::named(const Guid& set, std::string name) {
    PropertyKey k;
    k.kind_ = Kind::NamedString;
    k.set_ = set;
    k.name_ = std::move(name);
    // FNV-1a over the lower-cased name, started from the set's hash: names differing in case
    // only are the same key.
    uint32_t hash = setHash(set);
    for (char c : k.name_) hash = (hash ^ static_cast<uint8_t>(zentra::asciiLower(c))) * 16777619u;
    k.fingerprint_ = fingerprintOf(Kind::NamedString, hash, 0);
    return k;
}

bool PropertyKey::operator==(const PropertyKey& o) const {
    if (fingerprint_ != o.fingerprint_ || kind_ != o.kind_) return false;
    switch (kind_) {
        // Cheap integer comparisons before the GUID.
        case Kind::Tagged: return id_ == o.id_;
        case Kind::NamedId: return lid_ == o.lid_ && set_ == o.set_;
        case Kind::NamedString:
            return set_ == o.set_ && std::equal(name_.begin(), name_.end(), o.name_.begin(), o.name_.end(),
                                                [](char x, char y) { return zentra::asciiLower(x) == zentra::asciiLower(y); });
    }
    return false;
}

std::string PropertyKey::describe() const {
    char number[16];
    switch (kind_) {
        case Kind::Tagged:
            std::snprintf(number, sizeof number, "0x%04X", id_);
            return number;
        case Kind::NamedId:
            std::snprintf(number, sizeof number, "0x%04X", lid_);
            return guidText(set_) + "/" + number;
        case Kind::NamedString: return guidText(set_) + "/" + name_;
    }
    return std::string();
}

}  // namespace mapi
