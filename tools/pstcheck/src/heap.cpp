#include "heap.h"

namespace pstcheck {
namespace {

size_t pageHeaderSize(size_t index) {
    if (index == 0) return 12;                               // HNHDR
    if (index >= 8 && (index - 8) % 128 == 0) return 66;      // HNBITMAPHDR
    return 2;                                                 // HNPAGEHDR
}

}  // namespace

bool Heap::validHid(uint32_t hid) const {
    if ((hid & 0x1F) != 0) return false;
    size_t index = (hid >> 5) & 0x7FF, block = hid >> 16;
    return block < allocs.size() && index >= 1 && index <= allocs[block].size();
}

std::optional<Bytes> Heap::item(uint32_t hid) const {
    if (!validHid(hid)) return std::nullopt;
    size_t index = (hid >> 5) & 0x7FF, block = hid >> 16;
    auto [start, end] = allocs[block][index - 1];
    return Bytes(pages[block]).subspan(start, end - start);
}

std::optional<Heap> parseHeap(Image& img, std::vector<std::vector<uint8_t>> pages, const Where& where) {
    Sink& s = img.sink;
    if (pages.empty() || pages[0].size() < 12) {
        s.error("hn.size", where.offset, where.name + ": too short for a heap");
        return std::nullopt;
    }
    Heap heap;
    Bytes first(pages[0]);
    if (first[2] != 0xEC) {
        s.error("hn.sig", where.offset, where.name + ": heap signature " + hex(first[2]) + ", expected 0xec");
        return std::nullopt;
    }
    heap.clientSig = first[3];
    heap.hidUserRoot = u32(first, 4);
    for (size_t i = 0; i < pages.size(); ++i) {
        Bytes p(pages[i]);
        const std::string page = where.name + ": heap page " + std::to_string(i);
        const size_t hdr = pageHeaderSize(i);
        if (p.size() < hdr + 2) {
            s.error("hn.pagemap", where.offset, page + " is too short");
            return std::nullopt;
        }
        size_t ibHnpm = u16(p, 0);
        if (ibHnpm < hdr || !fits(p, ibHnpm, 4)) {
            s.error("hn.pagemap", where.offset, page + ": ibHnpm " + std::to_string(ibHnpm) + " is outside the page");
            return std::nullopt;
        }
        size_t cAlloc = u16(p, ibHnpm);
        if (!fits(p, ibHnpm + 4, 2 * (cAlloc + 1))) {
            s.error("hn.pagemap", where.offset, page + ": cAlloc " + std::to_string(cAlloc) + " overruns the page");
            return std::nullopt;
        }
        std::vector<std::pair<uint16_t, uint16_t>> allocs;
        uint16_t prev = u16(p, ibHnpm + 4);
        if (prev < hdr) s.error("hn.pagemap", where.offset, page + ": first allocation overlaps the page header");
        for (size_t k = 1; k <= cAlloc; ++k) {
            uint16_t next = u16(p, ibHnpm + 4 + 2 * k);
            if (next < prev || next > ibHnpm) {
                s.error("hn.pagemap", where.offset, page + ": allocation " + std::to_string(k) + " ends at " +
                                                        std::to_string(next) + ", out of order or past the page map");
                return std::nullopt;
            }
            allocs.emplace_back(prev, next);
            prev = next;
        }
        heap.allocs.push_back(std::move(allocs));
    }
    heap.pages = std::move(pages);
    return heap;
}

namespace {

class BthReader {
public:
    BthReader(Image& img, const Heap& heap, uint8_t cbKey, uint8_t cbEnt, const Where& where)
        : img_(img), heap_(heap), cbKey_(cbKey), cbEnt_(cbEnt), where_(where) {}

    bool read(uint32_t hid, int level, std::vector<BthRecord>& out, std::optional<uint64_t>& firstKey) {
        Sink& s = img_.sink;
        auto item = heap_.item(hid);
        if (!item) {
            s.error("bth.hid", where_.offset, where_.name + ": BTH level " + std::to_string(level) + " HID " + hex(hid) + " is invalid");
            return false;
        }
        const size_t rec = cbKey_ + (level > 0 ? 4 : cbEnt_);
        if (item->empty() || item->size() % rec != 0) {
            s.error("bth.size", where_.offset, where_.name + ": BTH item of " + std::to_string(item->size()) +
                                                   " bytes is not a whole number of " + std::to_string(rec) + "-byte records");
            return false;
        }
        for (size_t off = 0; off < item->size(); off += rec) {
            uint64_t key = uKey(*item, off, cbKey_);
            if (!firstKey) firstKey = key;
            if (level > 0) {
                std::optional<uint64_t> childFirst;
                if (!read(u32(*item, off + cbKey_), level - 1, out, childFirst)) return false;
                if (childFirst && *childFirst != key)
                    s.error("bth.parent_key", where_.offset, where_.name + ": BTH index key " + hex(key) +
                                                                 " but its child starts at " + hex(*childFirst));
                continue;
            }
            if (last_ && key <= *last_)
                s.error("bth.order", where_.offset, where_.name + ": BTH key " + hex(key) + " does not follow " + hex(*last_));
            last_ = key;
            out.push_back({key, item->subspan(off + cbKey_, cbEnt_)});
        }
        return true;
    }

private:
    Image& img_;
    const Heap& heap_;
    uint8_t cbKey_, cbEnt_;
    const Where& where_;
    std::optional<uint64_t> last_;
};

}  // namespace

std::optional<std::vector<BthRecord>> readBth(Image& img, const Heap& heap, uint32_t hidHeader, uint8_t cbKey,
                                              uint8_t cbEnt, const Where& where) {
    Sink& s = img.sink;
    auto hdr = heap.item(hidHeader);
    if (!hdr || hdr->size() != 8) {
        s.error("bth.header", where.offset, where.name + ": BTH header HID " + hex(hidHeader) + " is not an 8-byte heap item");
        return std::nullopt;
    }
    if ((*hdr)[0] != 0xB5 || (*hdr)[1] != cbKey || (*hdr)[2] != cbEnt) {
        s.error("bth.header", where.offset, where.name + ": BTH header bType/cbKey/cbEnt " + hex((*hdr)[0]) + "/" +
                                                std::to_string((*hdr)[1]) + "/" + std::to_string((*hdr)[2]) + ", expected 0xb5/" +
                                                std::to_string(cbKey) + "/" + std::to_string(cbEnt));
        return std::nullopt;
    }
    std::vector<BthRecord> out;
    uint32_t hidRoot = u32(*hdr, 4);
    if (hidRoot == 0) return out;
    std::optional<uint64_t> firstKey;
    if (!BthReader(img, heap, cbKey, cbEnt, where).read(hidRoot, (*hdr)[3], out, firstKey)) return std::nullopt;
    return out;
}

}  // namespace pstcheck
