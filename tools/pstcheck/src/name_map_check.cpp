// The name-to-ID map ([MS-PST] 2.4.7): bucket count, the entry/GUID/string streams, and every
// NAMEID record in the hash bucket its key selects.
#include <set>

#include "case_fold.h"
#include "semantic_checks.h"

namespace pstcheck {
namespace {

constexpr uint32_t kNameMapNid = 0x61;
constexpr uint32_t kBucketCount = 251;
constexpr uint16_t kFirstBucket = 0x1000;

struct NameId {
    uint32_t key = 0;  // LID, or for a string name its CRC (as buckets store it)
    uint16_t guidWord = 0, propIdx = 0;
};

}  // namespace

void checkNameMap(Image& img, const LtpIndex& ltp) {
    Sink& s = img.sink;
    auto it = ltp.pcs.find(kNameMapNid);
    if (it == ltp.pcs.end()) return;  // a missing node is reported with the mandatory nodes
    const PcView& pc = it->second;
    auto where = pc.node->where.offset;

    auto buckets = pc.int32(0x0001);
    if (!buckets || static_cast<uint32_t>(*buckets) != kBucketCount) {
        s.error("nameid.bucket_count", where, "PidTagNameidBucketCount is " + (buckets ? std::to_string(*buckets) : std::string("missing")) +
                                                  ", must be 251");
        return;
    }
    auto guids = pc.binary(0x0002).value_or(std::vector<uint8_t>{});
    auto entries = pc.binary(0x0003).value_or(std::vector<uint8_t>{});
    auto strings = pc.binary(0x0004).value_or(std::vector<uint8_t>{});
    if (guids.size() % 16) s.error("nameid.stream", where, "the GUID stream is not a whole number of GUIDs");
    if (entries.size() % 8) s.error("nameid.stream", where, "the entry stream is not a whole number of NAMEID records");

    // Every bucket holds only records that hash to it.
    std::map<uint32_t, std::vector<NameId>> bucketRecords;
    for (const auto& [id, prop] : pc.props) {
        if (id < kFirstBucket || id >= 0x2000) continue;
        if (id >= kFirstBucket + kBucketCount) {
            s.error("nameid.bucket", where, "property " + hex(id) + " lies beyond the 251 buckets");
            continue;
        }
        auto data = pc.binary(id);
        if (!data || data->size() % 8) {
            s.error("nameid.bucket", where, "bucket " + hex(id) + " is unreadable or not a whole number of records");
            continue;
        }
        Bytes b(*data);
        for (size_t off = 0; off < b.size(); off += 8) {
            NameId r{u32(b, off), u16(b, off + 4), u16(b, off + 6)};
            uint32_t want = (r.key ^ r.guidWord) % kBucketCount;
            if (want != static_cast<uint32_t>(id - kFirstBucket))
                s.error("nameid.bucket", where, "NAMEID of NPID " + hex(0x8000 + r.propIdx) + " sits in bucket " + hex(id) +
                                                    " but hashes to " + hex(kFirstBucket + want));
            bucketRecords[id - kFirstBucket].push_back(r);
        }
    }

    const size_t guidCount = guids.size() / 16;
    Bytes e(entries), str(strings);
    // Each name may be mapped once; string names compare without regard to case, as Outlook
    // treats two NPIDs for "Content-Type" and "Content-type" as damage.
    std::set<std::pair<uint16_t, uint32_t>> numericNames;
    std::set<std::pair<uint16_t, std::u16string>> stringNames;
    for (size_t i = 0; i + 8 <= e.size(); i += 8) {
        NameId r{u32(e, i), u16(e, i + 4), u16(e, i + 6)};
        const std::string rec = "NAMEID " + std::to_string(i / 8);
        if (r.propIdx != i / 8) s.error("nameid.index", where, rec + " has wPropIdx " + std::to_string(r.propIdx));
        const uint16_t wGuid = r.guidWord >> 1;
        // wGuid 0 (NAMEID_GUID_NONE) is allowed for string names only.
        if ((wGuid == 0 && !(r.guidWord & 1)) || (wGuid >= 3 && wGuid - 3u >= guidCount))
            s.error("nameid.guid", where, rec + ": wGuid " + std::to_string(wGuid) + " names no GUID");
        if (r.guidWord & 1) {
            // String name: dwPropertyID is the offset of {length, UTF-16LE} in the string stream.
            if (!fits(str, r.key, 4) || !fits(str, r.key + 4, u32(str, r.key))) {
                s.error("nameid.string", where, rec + ": string offset " + hex(r.key) + " is outside the string stream");
                continue;
            }
            Bytes name = str.subspan(r.key + 4, u32(str, r.key));
            std::u16string text;
            for (size_t k = 0; k + 1 < name.size(); k += 2) text += static_cast<char16_t>(u16(name, k));
            if (!stringNames.emplace(r.guidWord >> 1, foldCase(text)).second)
                s.error("nameid.duplicate", where, rec + ": the string name \"" + toUtf8(text) + "\" is mapped twice (ignoring case)");
            r.key = pstCrc(name);
        } else if (!numericNames.emplace(r.guidWord >> 1, r.key).second) {
            s.error("nameid.duplicate", where, rec + ": LID " + hex(r.key) + " of GUID index " + std::to_string(r.guidWord >> 1) +
                                                   " is mapped twice");
        }
        const uint32_t bucket = (r.key ^ r.guidWord) % kBucketCount;
        bool found = false;
        for (const NameId& b : bucketRecords[bucket])
            found |= b.key == r.key && b.guidWord == r.guidWord && b.propIdx == r.propIdx;
        if (!found)
            s.error("nameid.bucket", where, rec + " (NPID " + hex(0x8000 + r.propIdx) + ") is missing from bucket " +
                                                hex(kFirstBucket + bucket));
    }
}

}  // namespace pstcheck
