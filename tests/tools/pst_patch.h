#pragma once
// A PST file in memory that tests damage on purpose: little-endian field access, a walk of the
// NBT and BBT down to the file offsets of their leaf entries, and CRC repair for the header,
// pages and blocks where a damage is meant to stay otherwise consistent.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "pstcheck/codec.h"

namespace pstpatch {

struct BbtSlot { uint64_t entryOffset, bid, ib; uint16_t cb, cRef; uint64_t pageIb; };
struct NbtSlot { uint64_t entryOffset; uint32_t nid; uint64_t bidData, bidSub; uint32_t nidParent; uint64_t pageIb; };

class PstFile {
public:
    explicit PstFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw std::runtime_error("cannot open " + path);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<uint8_t> bytes;

    uint64_t get(uint64_t off, int width) const {
        uint64_t v = 0;
        for (int i = 0; i < width; ++i) v |= static_cast<uint64_t>(bytes.at(off + i)) << (8 * i);
        return v;
    }
    void set(uint64_t off, int width, uint64_t v) {
        for (int i = 0; i < width; ++i) bytes.at(off + i) = static_cast<uint8_t>(v >> (8 * i));
    }

    uint64_t nbtRootIb() const { return get(0xE0, 8); }
    uint64_t bbtRootIb() const { return get(0xF0, 8); }
    bool encoded() const { return bytes.at(0x201) == 1; }

    void fixHeaderCrcs() {
        set(4, 4, crc(8, 471));
        set(0x20C, 4, crc(8, 516));
    }
    void fixPageCrc(uint64_t pageIb) { set(pageIb + 500, 4, crc(pageIb, 496)); }

    std::map<uint64_t, BbtSlot> bbt() const {
        std::map<uint64_t, BbtSlot> out;
        walk(bbtRootIb(), [&](uint64_t e, uint64_t page) {
            BbtSlot s{e, get(e, 8), get(e + 8, 8), static_cast<uint16_t>(get(e + 16, 2)), static_cast<uint16_t>(get(e + 18, 2)), page};
            out[s.bid] = s;
        }, 24);
        return out;
    }
    std::map<uint32_t, NbtSlot> nbt() const {
        std::map<uint32_t, NbtSlot> out;
        walk(nbtRootIb(), [&](uint64_t e, uint64_t page) {
            NbtSlot s{e, static_cast<uint32_t>(get(e, 4)), get(e + 8, 8), get(e + 16, 8), static_cast<uint32_t>(get(e + 24, 4)), page};
            out[s.nid] = s;
        }, 32);
        return out;
    }

    static uint64_t blockSpan(uint16_t cb) { return (cb + 16 + 63) / 64 * 64; }
    uint64_t trailerOffset(const BbtSlot& b) const { return b.ib + blockSpan(b.cb) - 16; }
    void fixBlockCrc(const BbtSlot& b) { set(trailerOffset(b) + 4, 4, crc(b.ib, b.cb)); }

    // The first data block of a node (the first child when its data is an XBLOCK tree).
    BbtSlot dataBlockOf(uint32_t nid) const {
        auto blocks = bbt();
        BbtSlot b = blocks.at(nbt().at(nid).bidData);
        while (b.bid & 2) b = blocks.at(get(b.ib + 8, 8));
        return b;
    }

    // Every data block of a node's data tree, in order.
    std::vector<BbtSlot> dataBlocksOf(uint32_t nid) const {
        auto blocks = bbt();
        std::vector<BbtSlot> out;
        std::vector<uint64_t> todo = {nbt().at(nid).bidData};
        while (!todo.empty()) {
            BbtSlot b = blocks.at(todo.front());
            todo.erase(todo.begin());
            if (!(b.bid & 2)) {
                out.push_back(b);
                continue;
            }
            const uint64_t n = get(b.ib + 2, 2);
            for (uint64_t i = 0; i < n; ++i) todo.insert(todo.begin() + i, get(b.ib + 8 + 8 * i, 8));
        }
        return out;
    }

    // The data as a reader sees it, and a way to store it back in place (CRC fixed).
    std::vector<uint8_t> readData(const BbtSlot& b) const {
        std::vector<uint8_t> raw(bytes.begin() + b.ib, bytes.begin() + b.ib + b.cb);
        return encoded() && !(b.bid & 2) ? pstcheck::permuteDecode(raw) : raw;
    }
    void writeData(const BbtSlot& b, const std::vector<uint8_t>& data) {
        auto raw = encoded() && !(b.bid & 2) ? pstcheck::permuteEncode(data) : data;
        std::copy(raw.begin(), raw.end(), bytes.begin() + b.ib);
        fixBlockCrc(b);
    }

    void save(const std::string& path) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    uint32_t crc(uint64_t off, size_t n) const {
        return pstcheck::pstCrc(std::span<const uint8_t>(bytes.data() + off, n));
    }

    template <class F>
    void walk(uint64_t pageIb, F&& leaf, int leafEntrySize) const {
        int cEnt = bytes.at(pageIb + 488), cLevel = bytes.at(pageIb + 491);
        for (int i = 0; i < cEnt; ++i) {
            uint64_t e = pageIb + static_cast<uint64_t>(i) * (cLevel ? 24 : leafEntrySize);
            if (cLevel) walk(get(e + 16, 8), leaf, leafEntrySize);
            else leaf(e, pageIb);
        }
    }
};

// Position of needle in the bytes, or npos.
inline size_t find(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle) {
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return it == hay.end() ? std::string::npos : static_cast<size_t>(it - hay.begin());
}

inline std::vector<uint8_t> utf16(const std::string& ascii) {
    std::vector<uint8_t> out;
    for (char c : ascii) { out.push_back(static_cast<uint8_t>(c)); out.push_back(0); }
    return out;
}

}  // namespace pstpatch
