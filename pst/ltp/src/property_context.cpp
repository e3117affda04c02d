// Property context ([MS-PST] 2.3.3): a BTH with 2-byte property ids as keys and 6-byte
// {wPropType, dwValueHnid} entries, on a heap with client signature bTypePC.
#include <algorithm>
#include <string>

#include "hex.h"
#include "pst/core/le_codec.h"
#include "pst/disk/btree_on_heap.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/sized_property_context.h"
#include "pst/ltp/values.h"
#include "value_store.h"
#include "zentra/error.h"

namespace pst::ltp {

using disk::BTHHEADER;
using disk::BthIndexRecord;
using disk::PcBthRecord;

namespace {

// The value's fixed size (0 for a variable-size type), once the value is checked to have it or,
// for a multi-valued type, to be whole elements.
uint32_t checkedFixedSize(uint16_t id, const Value& value) {
    const uint32_t size = fixedValueSize(value.type);
    if (size ? value.bytes.size() == size : value.bytes.size() % std::max<uint32_t>(1, multiValueElementSize(value.type)) == 0)
        return size;
    throw zentra::Error(zentra::kErrInvalidArgument,
                        "property " + hexString(id) + " of type " + hexString(value.type) + " has " +
                            std::to_string(value.bytes.size()) + " bytes");
}

}  // namespace

namespace {

// Lays the properties out in the heap (large values go to subnodes through the placer);
// returns the BTH header's HID.
Hid layOutProperties(HeapBuilder& heap, ValuePlacer& placer, const PropertyMap& props) {
    Hid header = heap.reserve(BTHHEADER::kSize);   // HID 0x20, as Outlook places it
    std::vector<uint8_t> records(props.size() * PcBthRecord::kSize);
    size_t at = 0;
    for (const auto& [id, value] : props) {
        const uint32_t size = checkedFixedSize(id, value);
        uint32_t hnid = 0;
        if (size != 0 && size <= 4) {
            // Small fixed values live in the record itself, zero-extended to 4 bytes.
            for (uint32_t i = 0; i < size; ++i) hnid |= uint32_t(value.bytes[i]) << (8 * i);
        } else {
            hnid = placer.place(value.bytes);
        }
        PcBthRecord{id, value.type, hnid}.serialize(std::span(records).subspan(at, PcBthRecord::kSize));
        at += PcBthRecord::kSize;
    }
    writeBth(heap, PcBthRecord::kCbKey, PcBthRecord::kCbEnt, records, header);
    heap.setUserRoot(header);
    return header;
}

// Overwrites the inline value of property id in a laid-out PC, found by descending its BTH.
void patchInlineValue(HeapBuilder& heap, Hid header, uint16_t id, uint32_t value) {
    const BTHHEADER h = BTHHEADER::parse(heap.item(header));
    Hid item = h.hidRoot;
    constexpr size_t indexSize = BthIndexRecord::sizeFor(PcBthRecord::kCbKey);
    for (uint32_t levels = h.bIdxLevels; levels > 0; --levels) {
        std::span<uint8_t> index = heap.item(item);
        Hid next = 0;
        for (size_t off = 0; off + indexSize <= index.size(); off += indexSize) {
            const BthIndexRecord r = BthIndexRecord::parse(index.subspan(off), PcBthRecord::kCbKey);
            if (core::readLe16(r.key, 0) > id) break;   // keys are wPropIds
            next = r.hidNextLevel;
        }
        if (next == 0) throw zentra::Error(zentra::kErrInvalidArgument, "property " + hexString(id) + " is not laid out");
        item = next;
    }
    std::span<uint8_t> leaf = heap.item(item);
    for (size_t off = 0; off + PcBthRecord::kSize <= leaf.size(); off += PcBthRecord::kSize) {
        const std::span<uint8_t> bytes = leaf.subspan(off, PcBthRecord::kSize);
        PcBthRecord r = PcBthRecord::parse(bytes);
        if (r.wPropId == id) {
            r.dwValueHnid = value;
            r.serialize(bytes);
            return;
        }
    }
    throw zentra::Error(zentra::kErrInvalidArgument, "property " + hexString(id) + " is not laid out");
}

}  // namespace

BuiltNode writePropertyContext(ndb::NodeDatabase& db, const PropertyMap& props, SubnodeNids& nids) {
    HeapBuilder heap(disk::kClientSigProperties);
    ValuePlacer placer(db, heap, nids);
    layOutProperties(heap, placer, props);

    BuiltNode built;
    built.data = db.writeBlocks(heap.finish());
    built.subnodes = placer.take();
    return built;
}

SizedNode writeSizedPropertyContext(ndb::NodeDatabase& db, PropertyMap& props, uint16_t sizeId,
                                    std::vector<ndb::SubnodeEntry> extraSubnodes) {
    props[sizeId] = int32Value(0);
    HeapBuilder heap(disk::kClientSigProperties);
    SubnodeNids nids;
    ValuePlacer placer(db, heap, nids);
    Hid header = layOutProperties(heap, placer, props);
    const std::vector<uint32_t> pageSizes = heap.finishedPageSizes();

    std::vector<ndb::SubnodeEntry> entries = placer.take();
    entries.insert(entries.end(), extraSubnodes.begin(), extraSubnodes.end());
    // The subnode tree's size from its entries' trees (already written) and its own blocks,
    // rather than by reading the new tree back.
    uint64_t subnodeBytes = ndb::NodeDatabase::subnodeBlocksSize(entries.size());
    for (const ndb::SubnodeEntry& e : entries) subnodeBytes += db.treeSize(e.data) + db.treeSize(e.subnodes);
    SizedNode node;
    node.subnodes = db.writeSubnodeTree(std::move(entries));
    try {
        node.size = ndb::NodeDatabase::dataTreeSize(pageSizes) + subnodeBytes;
        if (node.size > 0x7FFFFFFF) throw zentra::Error(zentra::kErrInvalidArgument, "an object larger than 2 GB");
        props[sizeId] = int32Value(static_cast<int32_t>(node.size));
        patchInlineValue(heap, header, sizeId, static_cast<uint32_t>(node.size));
        node.data = db.writeBlocks(heap.finish());
    } catch (...) {
        // After a write failure the database refuses every call; giving the subnodes back must
        // not replace the original error (disk full, I/O) with that refusal.
        try {
            if (node.subnodes) db.release(node.subnodes);
        } catch (...) {
        }
        throw;
    }
    return node;
}

PropertyMap readPropertyContext(ndb::NodeDatabase& db, Bid data, Bid subnodes) {
    HeapReader heap(db.readBlocks(data));
    if (heap.clientSig() != disk::kClientSigProperties)
        throw zentra::Error(zentra::kErrStoreCorrupt, "node is not a property context (client signature " +
                                                          hexString(heap.clientSig()) + ")");
    ValueSource source(db, heap, subnodes);
    std::vector<uint8_t> records = readBthRecords(heap, heap.userRoot(), PcBthRecord::kCbKey, PcBthRecord::kCbEnt);

    PropertyMap props;
    for (size_t off = 0; off < records.size(); off += PcBthRecord::kSize) {
        const PcBthRecord r = PcBthRecord::parse(std::span(records).subspan(off, PcBthRecord::kSize));
        const uint16_t id = r.wPropId;
        const uint32_t hnid = r.dwValueHnid;
        Value value;
        value.type = r.wPropType;
        uint32_t size = fixedValueSize(value.type);
        if (size != 0 && size <= 4) {
            value.bytes.resize(size);
            for (uint32_t i = 0; i < size; ++i) value.bytes[i] = static_cast<uint8_t>(hnid >> (8 * i));
        } else {
            value.bytes = source.read(hnid);
        }
        props.emplace(id, std::move(value));
    }
    return props;
}

}  // namespace pst::ltp
