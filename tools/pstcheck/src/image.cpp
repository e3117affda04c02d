#include "image.h"

namespace pstcheck {

std::string pageTypeName(uint8_t ptype) {
    switch (ptype) {
        case kPtBBT: return "BBT page";
        case kPtNBT: return "NBT page";
        case kPtFMap: return "FMap page";
        case kPtPMap: return "PMap page";
        case kPtAMap: return "AMap page";
        case kPtFPMap: return "FPMap page";
        case kPtDList: return "DList page";
        default: return "page of type " + hex(ptype);
    }
}

const BbtEntry* Image::block(uint64_t bid) const {
    auto it = bbt.find(bid);
    return it == bbt.end() ? nullptr : &it->second;
}

const NbtEntry* Image::node(uint32_t nid) const {
    auto it = nbt.find(nid);
    return it == nbt.end() ? nullptr : &it->second;
}

std::optional<Bytes> Image::rawBlock(uint64_t bid) const {
    const BbtEntry* e = block(bid);
    if (!e || e->cb > kMaxBlock - kBlockTrailer || !fits(file, e->ib, e->cb)) return std::nullopt;
    return file.subspan(e->ib, e->cb);
}

std::optional<std::vector<uint8_t>> Image::blockData(uint64_t bid) const {
    auto raw = rawBlock(bid);
    if (!raw) return std::nullopt;
    if (!isInternalBid(bid) && hdr.bCryptMethod == 1) return permuteDecode(*raw);
    return std::vector<uint8_t>(raw->begin(), raw->end());
}

namespace {

bool collectLeaves(const Image& img, uint64_t bid, int expectLevel,
                   std::vector<std::vector<uint8_t>>& out, int depth) {
    if (depth > 3) return false;
    if (!isInternalBid(bid)) {
        if (expectLevel > 0) return false;
        auto data = img.blockData(bid);
        if (!data) return false;
        out.push_back(std::move(*data));
        return true;
    }
    auto data = img.blockData(bid);
    if (!data || data->size() < 8 || (*data)[0] != 0x01) return false;
    Bytes b(*data);
    int level = b[1];
    if (expectLevel >= 0 && level != expectLevel) return false;
    if (level < 1 || level > 2) return false;
    size_t cEnt = u16(b, 2);
    if (!fits(b, 8, cEnt * 8)) return false;
    for (size_t i = 0; i < cEnt; ++i)
        if (!collectLeaves(img, u64(b, 8 + i * 8), level - 1, out, depth + 1)) return false;
    return true;
}

bool collectSubnodes(const Image& img, uint64_t bid, std::map<uint32_t, SubnodeEntry>& out, int depth) {
    if (depth > 2 || !isInternalBid(bid)) return false;
    auto data = img.blockData(bid);
    if (!data || data->size() < 8 || (*data)[0] != 0x02) return false;
    Bytes b(*data);
    int level = b[1];
    size_t cEnt = u16(b, 2);
    size_t entSize = level == 0 ? 24 : 16;
    if (!fits(b, 8, cEnt * entSize)) return false;
    for (size_t i = 0; i < cEnt; ++i) {
        size_t off = 8 + i * entSize;
        if (level == 0) {
            SubnodeEntry e{u32(b, off), u64(b, off + 8), u64(b, off + 16)};
            out[e.nid] = e;
        } else if (!collectSubnodes(img, u64(b, off + 8), out, depth + 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::vector<uint8_t>>> Image::dataTree(uint64_t bid) const {
    std::vector<std::vector<uint8_t>> out;
    if (!collectLeaves(*this, bid, -1, out, 0)) return std::nullopt;
    return out;
}

std::optional<std::map<uint32_t, SubnodeEntry>> Image::subnodes(uint64_t bidSub) const {
    std::map<uint32_t, SubnodeEntry> out;
    if (bidSub == 0) return out;
    if (!collectSubnodes(*this, bidSub, out, 0)) return std::nullopt;
    return out;
}

}  // namespace pstcheck
