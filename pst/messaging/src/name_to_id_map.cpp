#include "pst/messaging/name_to_id_map.h"

#include "pst/core/crc.h"
#include "pst/core/le_codec.h"
#include "pst/messaging/case_folding.h"
#include "pst/messaging/property_tags.h"
#include "mapi/utf16.h"
#include "zentra/error.h"

namespace pst::messaging {
namespace {

constexpr uint16_t kWGuidPsMapi = 1;
constexpr uint16_t kWGuidPublicStrings = 2;
constexpr uint16_t kWGuidFirstStream = 3;
constexpr uint16_t kMaxNamedProps = 0x7FFF;

void appendNameId(std::vector<uint8_t>& out, const NameId& id) {
    size_t at = out.size();
    out.resize(at + 8);
    core::writeLe32(out, at, id.propertyId);
    core::writeLe16(out, at + 4, id.guidAndKind);
    core::writeLe16(out, at + 6, id.propIndex);
}

std::span<const uint8_t> binaryProp(const ltp::PropertyMap& props, uint16_t id) {
    auto it = props.find(id);
    return it == props.end() ? std::span<const uint8_t>() : std::span<const uint8_t>(it->second.bytes);
}

}  // namespace

uint32_t nameidBucket(uint32_t hashedId, uint16_t guidAndKind) {
    return (hashedId ^ guidAndKind) % kNameidBucketCount;
}

uint32_t nameidStringCrc(std::string_view utf8) { return core::computeCrc(mapi::utf16leFromUtf8(utf8)); }

std::optional<uint16_t> NameToIdMap::guidIndexOf(const Guid& guid) const {
    if (guid == mapi::kPsMapi) return kWGuidPsMapi;
    if (guid == mapi::kPsPublicStrings) return kWGuidPublicStrings;
    for (size_t k = 0; k < guids_.size(); ++k)
        if (guids_[k] == guid) return static_cast<uint16_t>(kWGuidFirstStream + k);
    return std::nullopt;
}

uint16_t NameToIdMap::guidIndexFor(const Guid& guid, bool create) {
    if (auto index = guidIndexOf(guid)) return *index;
    if (!create) return 0;
    guids_.push_back(guid);
    dirty_ = true;
    return static_cast<uint16_t>(kWGuidFirstStream + guids_.size() - 1);
}

uint16_t NameToIdMap::append(Entry entry) {
    if (entries_.size() >= kMaxNamedProps)
        throw zentra::Error(zentra::kErrStoreCorrupt, "the name-to-ID map is full (32767 named properties)");
    entries_.push_back(std::move(entry));
    dirty_ = true;
    return static_cast<uint16_t>(kFirstNamedPropId + entries_.size() - 1);
}

uint16_t NameToIdMap::idFor(const Guid& guid, uint32_t lid) {
    if (auto id = find(guid, lid)) return *id;
    uint16_t g = guidIndexFor(guid, true);
    uint16_t id = append({g, false, lid, {}});
    numeric_[numericKey(g, lid)] = id;
    return id;
}

uint16_t NameToIdMap::idFor(const Guid& guid, std::string_view name) {
    if (auto id = find(guid, name)) return *id;
    uint16_t g = guidIndexFor(guid, true);
    uint16_t id = append({g, true, 0, std::string(name)});
    strings_[{g, caseBlindKey(name)}] = id;
    return id;
}

std::optional<uint16_t> NameToIdMap::find(const Guid& guid, uint32_t lid) const {
    auto g = guidIndexOf(guid);
    if (!g) return std::nullopt;
    auto it = numeric_.find(numericKey(*g, lid));
    return it == numeric_.end() ? std::nullopt : std::optional<uint16_t>(it->second);
}

std::optional<uint16_t> NameToIdMap::find(const Guid& guid, std::string_view name) const {
    auto g = guidIndexOf(guid);
    if (!g) return std::nullopt;
    auto it = strings_.find({*g, caseBlindKey(name)});
    return it == strings_.end() ? std::nullopt : std::optional<uint16_t>(it->second);
}

ltp::PropertyMap NameToIdMap::toProperties() const {
    ltp::PropertyMap props;
    props[mapi::PidTagNameidBucketCount.id] = ltp::int32Value(static_cast<int32_t>(kNameidBucketCount));
    // The three streams are written even when empty: [MS-PST] 2.7.3.2 allows a map with the
    // bucket count alone, but libpff refuses to open a store whose map has no entry stream.

    std::vector<uint8_t> guidStream, entryStream, stringStream;
    for (const Guid& g : guids_) guidStream.insert(guidStream.end(), g.begin(), g.end());
    std::map<uint32_t, std::vector<uint8_t>> buckets;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        NameId stored{e.lid, static_cast<uint16_t>(e.guidIndex << 1 | (e.isString ? 1 : 0)),
                      static_cast<uint16_t>(i)};
        NameId hashed = stored;
        if (e.isString) {
            std::vector<uint8_t> name = mapi::utf16leFromUtf8(e.name);
            stored.propertyId = static_cast<uint32_t>(stringStream.size());
            size_t at = stringStream.size();
            stringStream.resize(at + 4);
            core::writeLe32(stringStream, at, static_cast<uint32_t>(name.size()));
            stringStream.insert(stringStream.end(), name.begin(), name.end());
            while (stringStream.size() % 4 != 0) stringStream.push_back(0);
            hashed.propertyId = core::computeCrc(name);
        }
        appendNameId(entryStream, stored);
        appendNameId(buckets[nameidBucket(hashed.propertyId, hashed.guidAndKind)], hashed);
    }
    props[mapi::PidTagNameidStreamGuid.id] = ltp::binaryValue(std::move(guidStream));
    props[mapi::PidTagNameidStreamEntry.id] = ltp::binaryValue(std::move(entryStream));
    props[mapi::PidTagNameidStreamString.id] = ltp::binaryValue(std::move(stringStream));
    for (auto& [bucket, records] : buckets)
        props[static_cast<uint16_t>(mapi::PidTagNameidBucketBase.id + bucket)] = ltp::binaryValue(std::move(records));
    return props;
}

NameToIdMap NameToIdMap::fromProperties(const ltp::PropertyMap& props) {
    auto corrupt = [](const std::string& what) {
        return zentra::Error(zentra::kErrStoreCorrupt, "name-to-ID map: " + what);
    };
    auto count = props.find(mapi::PidTagNameidBucketCount.id);
    if (count == props.end() || count->second.bytes.size() != 4 || core::readLe32(count->second.bytes, 0) != 251)
        throw corrupt("bucket count is not 251");
    NameToIdMap map;
    const auto guidStream = binaryProp(props, mapi::PidTagNameidStreamGuid.id);
    const auto entryStream = binaryProp(props, mapi::PidTagNameidStreamEntry.id);
    const auto stringStream = binaryProp(props, mapi::PidTagNameidStreamString.id);
    if (guidStream.size() % 16 != 0 || entryStream.size() % 8 != 0) throw corrupt("stream size");
    for (size_t i = 0; i < guidStream.size(); i += 16) {
        Guid g{};
        std::copy(guidStream.begin() + i, guidStream.begin() + i + 16, g.begin());
        map.guids_.push_back(g);
    }
    for (size_t i = 0; i < entryStream.size(); i += 8) {
        uint32_t id = core::readLe32(entryStream, i);
        uint16_t word = core::readLe16(entryStream, i + 4);
        uint16_t index = core::readLe16(entryStream, i + 6);
        if (index != map.entries_.size()) throw corrupt("entries out of order");
        uint16_t g = word >> 1;
        if (g == 0 || g >= kWGuidFirstStream + map.guids_.size()) throw corrupt("GUID index out of range");
        Entry e{g, (word & 1) != 0, id, {}};
        if (e.isString) {
            uint32_t length = core::readLe32(stringStream, id);
            core::checkRange(stringStream.size(), id + 4, length);
            e.name = mapi::utf8FromUtf16le(stringStream.subspan(id + 4, length));
            e.lid = 0;
            map.strings_[{g, caseBlindKey(e.name)}] = static_cast<uint16_t>(kFirstNamedPropId + index);
        } else {
            map.numeric_[numericKey(g, id)] = static_cast<uint16_t>(kFirstNamedPropId + index);
        }
        map.entries_.push_back(std::move(e));
    }
    map.dirty_ = false;
    return map;
}

}  // namespace pst::messaging
