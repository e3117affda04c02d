// Internal consistency of every heap-based node: HN, BTH, PC and TC ([MS-PST] 2.3).
#include "ltp.h"

#include <set>

namespace pstcheck {

namespace {

enum class Kind { None, Pc, Tc };

// Which structure a node of this NID should hold ([MS-PST] 2.4).
Kind expectedKind(uint32_t nid) {
    if (nid == 0x21 || nid == 0x61) return Kind::Pc;
    switch (nidType(nid)) {
        case kNidNormalFolder: case kNidSearchFolder: case kNidNormalMessage:
        case kNidAttachment: case kNidAssocMessage:
            return Kind::Pc;
        case 0x0B: case 0x0C: case kNidHierarchyTable: case kNidContentsTable: case kNidAssocContentsTable:
        case kNidSearchContentsTable: case kNidAttachmentTable: case kNidRecipientTable:
            return Kind::Tc;
        default:
            return Kind::None;
    }
}

class LtpChecker {
public:
    LtpChecker(Image& img, LtpIndex& out) : img_(img), out_(out) {}

    void run() {
        for (const auto& [nid, e] : img_.nbt) {
            const BbtEntry* b = img_.block(e.bidData);
            Where where{"node " + hex(nid), b ? std::optional<uint64_t>(b->ib) : std::nullopt};
            checkNode(nid, e.bidData, e.bidSub, where, 0, nid);
        }
    }

private:
    // `top` is the top-level node this one belongs to (itself at depth 0).
    void checkNode(uint32_t nid, uint64_t bidData, uint64_t bidSub, const Where& where, int depth, uint32_t top) {
        Kind kind = expectedKind(nid);
        if (bidData == 0 || depth > 4) return;
        auto pages = img_.dataTree(bidData);
        if (!pages || pages->empty()) return;  // reported by the block checks
        if (kind == Kind::None) {
            // Other node kinds are streams; check them only when they carry a heap.
            if ((*pages)[0].size() < 4 || (*pages)[0][2] != 0xEC) return;
            uint8_t sig = (*pages)[0][3];
            kind = sig == 0xBC ? Kind::Pc : sig == 0x7C ? Kind::Tc : Kind::None;
            if (kind == Kind::None) return;
        }
        auto node = std::make_shared<LtpNode>();
        node->img = &img_;
        node->where = where;
        auto subs = img_.subnodes(bidSub);
        if (subs) node->subnodes = std::move(*subs);
        auto heap = parseHeap(img_, std::move(*pages), where);
        if (!heap) return;
        node->heap = std::move(*heap);
        const uint8_t wantSig = kind == Kind::Pc ? 0xBC : 0x7C;
        if (kind == Kind::Tc && node->heap.clientSig == 0xAC) {
            // Outlook writes some search tables in the undocumented 0xAC table form.
            img_.sink.warn("hn.client_sig", where.offset, where.name + ": table of the undocumented type 0xac is not checked");
            return;
        }
        if (node->heap.clientSig != wantSig) {
            img_.sink.error("hn.client_sig", where.offset, where.name + ": bClientSig " + hex(node->heap.clientSig) +
                                                                ", expected " + hex(wantSig));
            return;
        }
        if (kind == Kind::Pc) {
            auto pc = checkPc(node);
            if (pc && depth == 0) out_.pcs[nid] = std::move(*pc);
            else if (pc && depth == 1) out_.subPcs[{top, nid}] = std::move(*pc);
        } else {
            auto tc = checkTc(node);
            if (tc && depth == 0) out_.tcs[nid] = std::move(*tc);
            else if (tc && depth == 1) out_.subTcs[{top, nid}] = std::move(*tc);
        }
        // Attachments, recipient and attachment tables and embedded messages live in subnodes.
        for (const auto& [snid, se] : node->subnodes) {
            if (expectedKind(snid) == Kind::None || snid == 0x21 || snid == 0x61) continue;
            const BbtEntry* b = img_.block(se.bidData);
            Where sw{where.name + " / subnode " + hex(snid), b ? std::optional<uint64_t>(b->ib) : std::nullopt};
            checkNode(snid, se.bidData, se.bidSub, sw, depth + 1, top);
        }
    }

    std::optional<PcView> checkPc(const std::shared_ptr<LtpNode>& node) {
        const Where& w = node->where;
        if (node->heap.hidUserRoot != 0x20)
            img_.sink.warn("compat.first_hid", w.offset, w.name + ": the PC's BTH header is not the first heap item (HID 0x20), "
                                                                   "where Outlook puts it and pst-extractor expects it");
        auto records = readBth(img_, node->heap, node->heap.hidUserRoot, 2, 6, w);
        if (!records) return std::nullopt;
        PcView pc{node, {}};
        for (const auto& r : *records) {
            uint16_t id = static_cast<uint16_t>(r.key), type = u16(r.data, 0);
            uint32_t value = u32(r.data, 2);
            pc.props[id] = {type, value};
            const std::string prop = w.name + ": property " + hex(id) + " type " + hex(type);
            if (inlineType(type)) continue;
            if (size_t n = fixedSize(type)) {
                auto item = node->heap.item(value);
                if (!item || item->size() != n)
                    img_.sink.error("pc.value", w.offset, prop + ": HID " + hex(value) + " is not a " + std::to_string(n) + "-byte heap item");
                continue;
            }
            if (!variableType(type)) {
                img_.sink.warn("pc.type", w.offset, prop + " is of an unknown type");
                continue;
            }
            checkHnid(*node, value, prop, "pc.value");
            if (type == 0x001F) {
                auto bytes = node->hnidBytes(value);
                if (bytes && bytes->size() % 2) img_.sink.error("pc.value", w.offset, prop + ": odd-length UTF-16 string");
            }
        }
        return pc;
    }

    void checkHnid(const LtpNode& node, uint32_t hnid, const std::string& what, const char* code) {
        if (hnid == 0) return;  // an empty value
        if ((hnid & 0x1F) == 0) {
            if (!node.heap.validHid(hnid))
                img_.sink.error(code, node.where.offset, what + ": HID " + hex(hnid) + " is not an allocation of the heap");
            return;
        }
        if (!node.subnodes.count(hnid))
            img_.sink.error(code, node.where.offset, what + ": subnode " + hex(hnid) + " does not exist");
        else if (!node.hnidBytes(hnid))
            img_.sink.error(code, node.where.offset, what + ": subnode " + hex(hnid) + " has no readable data");
    }

    std::optional<TcView> checkTc(const std::shared_ptr<LtpNode>& node) {
        const Where& w = node->where;
        Sink& s = img_.sink;
        auto info = node->heap.item(node->heap.hidUserRoot);
        if (!info || info->size() < 22 || (*info)[0] != 0x7C) {
            s.error("tc.info", w.offset, w.name + ": TCINFO missing or not of type 0x7c");
            return std::nullopt;
        }
        Bytes ti = *info;
        size_t cCols = ti[1];
        uint16_t ib4 = u16(ti, 2), ib2 = u16(ti, 4), ib1 = u16(ti, 6), ibBm = u16(ti, 8);
        uint32_t hidRowIndex = u32(ti, 10), hnidRows = u32(ti, 14);
        if (ti.size() != 22 + 8 * cCols) {
            s.error("tc.info", w.offset, w.name + ": TCINFO of " + std::to_string(ti.size()) + " bytes for " + std::to_string(cCols) + " columns");
            return std::nullopt;
        }
        if (!(ib4 <= ib2 && ib2 <= ib1 && ib1 <= ibBm) || ibBm != ib1 + (cCols + 7) / 8)
            s.error("tc.info", w.offset, w.name + ": rgib " + std::to_string(ib4) + "/" + std::to_string(ib2) + "/" +
                                             std::to_string(ib1) + "/" + std::to_string(ibBm) + " is inconsistent");
        const size_t rowSize = ibBm;
        struct Col { uint32_t tag; uint16_t ib; uint8_t cb, bit; };
        std::vector<Col> cols;
        std::set<uint8_t> bits;
        for (size_t i = 0; i < cCols; ++i) {
            Col c{u32(ti, 22 + 8 * i), u16(ti, 26 + 8 * i), ti[28 + 8 * i], ti[29 + 8 * i]};
            const std::string col = w.name + ": column " + hex(c.tag);
            if (!cols.empty() && c.tag <= cols.back().tag) s.error("tc.columns", w.offset, col + " is out of tag order");
            bool inGroup = (c.cb == 8 || c.cb == 4) ? c.ib + c.cb <= ib4
                         : c.cb == 2 ? (c.ib >= ib4 && c.ib + 2 <= ib2)
                         : c.cb == 1 ? (c.ib >= ib2 && c.ib + 1 <= ib1) : false;
            if (!inGroup) s.error("tc.columns", w.offset, col + ": ibData " + std::to_string(c.ib) + "/cbData " +
                                                                         std::to_string(c.cb) + " lies outside its column group");
            if (c.bit >= cCols || !bits.insert(c.bit).second)
                s.error("tc.columns", w.offset, col + ": iBit " + std::to_string(c.bit) + " is out of range or repeated");
            if ((c.tag == 0x67F20003 && (c.ib != 0 || c.bit != 0)) || (c.tag == 0x67F30003 && (c.ib != 4 || c.bit != 1)))
                s.error("tc.columns", w.offset, col + ": row id/version column is not at its fixed place");
            cols.push_back(c);
        }

        // Rows: none, in one heap item, or in a subnode's data tree (whole rows per block).
        std::vector<std::vector<uint8_t>> rows;
        if (hnidRows != 0) {
            std::vector<std::vector<uint8_t>> chunks;
            if ((hnidRows & 0x1F) == 0) {
                auto item = node->heap.item(hnidRows);
                if (!item) {
                    s.error("tc.rows", w.offset, w.name + ": hnidRows " + hex(hnidRows) + " is not a heap allocation");
                    return std::nullopt;
                }
                chunks.emplace_back(item->begin(), item->end());
            } else {
                auto it = node->subnodes.find(hnidRows);
                auto blocks = it == node->subnodes.end() ? std::nullopt : img_.dataTree(it->second.bidData);
                if (!blocks) {
                    s.error("tc.rows", w.offset, w.name + ": row subnode " + hex(hnidRows) + " is missing or unreadable");
                    return std::nullopt;
                }
                chunks = std::move(*blocks);
            }
            if (rowSize < 4) {
                s.error("tc.rows", w.offset, w.name + ": rows of " + std::to_string(rowSize) + " bytes cannot hold a row id");
                return std::nullopt;
            }
            // [MS-PST] 2.3.4.4: each block holds a whole number of rows, as many as fit in 8176
            // bytes, and every block but the last is a full 8192-byte block; the rest of a
            // block is dead space readers skip.
            const size_t perBlock = (kMaxBlock - kBlockTrailer) / rowSize;
            const bool inHeap = (hnidRows & 0x1F) == 0;
            for (size_t i = 0; i < chunks.size(); ++i) {
                const auto& ch = chunks[i];
                const bool last = i + 1 == chunks.size();
                size_t count = ch.size() / rowSize;
                if (inHeap && ch.size() % rowSize != 0) {
                    s.error("tc.rows", w.offset, w.name + ": row data of " + std::to_string(ch.size()) +
                                                     " bytes is not a whole number of " + std::to_string(rowSize) + "-byte rows");
                    return std::nullopt;
                }
                if (!inHeap && !last && blockSpan(static_cast<uint16_t>(ch.size())) != kMaxBlock) {
                    s.error("tc.rows", w.offset, w.name + ": row block " + std::to_string(i) + " of " +
                                                     std::to_string(ch.size()) + " bytes is not a full block");
                    return std::nullopt;
                }
                if (!inHeap && count > perBlock) count = perBlock;
                if (!inHeap && count < perBlock && ch.size() % rowSize != 0) {
                    s.error("tc.rows", w.offset, w.name + ": row block " + std::to_string(i) + " ends in a partial row");
                    return std::nullopt;
                }
                for (size_t r = 0; r < count; ++r)
                    rows.emplace_back(ch.begin() + r * rowSize, ch.begin() + (r + 1) * rowSize);
            }
        }

        // Not a format rule, but pst-extractor reads HID 0x20 as the row index's BTH header and
        // loops forever when it is anything else; Outlook always lays tables out that way.
        if (hidRowIndex != 0x20)
            s.warn("compat.first_hid", w.offset, w.name + ": the row index's BTH header is at HID " + hex(hidRowIndex) +
                                                     ", not 0x20 where Outlook puts it and pst-extractor expects it");
        std::vector<BthRecord> index;
        if (hidRowIndex != 0) {
            auto r = readBth(img_, node->heap, hidRowIndex, 4, 4, w);
            if (!r) return std::nullopt;
            index = std::move(*r);
        }
        if (index.size() != rows.size())
            s.error("tc.rowindex", w.offset, w.name + ": row index has " + std::to_string(index.size()) + " entries for " +
                                                 std::to_string(rows.size()) + " rows");
        std::vector<bool> seen(rows.size(), false);
        for (const auto& r : index) {
            uint32_t rowIndex = u32(r.data, 0);
            if (rowIndex >= rows.size() || seen[rowIndex]) {
                s.error("tc.rowindex", w.offset, w.name + ": row id " + hex(r.key) + " maps to row " + std::to_string(rowIndex) +
                                                     ", which is out of range or mapped twice");
                continue;
            }
            seen[rowIndex] = true;
            if (u32(rows[rowIndex], 0) != r.key)
                s.error("tc.rowindex", w.offset, w.name + ": row " + std::to_string(rowIndex) + " holds id " +
                                                     hex(u32(rows[rowIndex], 0)) + ", the index says " + hex(r.key));
        }

        TcView tc;
        tc.node = node;
        const bool cebFits = ib1 + (cCols + 7) / 8 <= rowSize;
        tc.cebOffset = ib1;
        tc.cellsReadable = cebFits;
        for (const auto& c : cols) tc.columns.push_back({c.tag, c.ib, c.cb, c.bit});
        for (const auto& row : rows) {
            tc.rowIds.push_back(u32(row, 0));
            Bytes rb(row);
            for (const auto& c : cols) {
                if (!cebFits) break;
                if (c.bit >= cCols || c.ib + c.cb > ib1) continue;
                bool present = (rb[ib1 + c.bit / 8] >> (7 - c.bit % 8)) & 1;
                uint16_t type = c.tag & 0xFFFF;
                if (present && c.cb == 4 && variableType(type))
                    checkHnid(*node, u32(rb, c.ib), w.name + ": row " + hex(u32(rb, 0)) + " column " + hex(c.tag), "tc.cell");
            }
        }
        tc.rows = std::move(rows);
        return tc;
    }

    Image& img_;
    LtpIndex& out_;
};

}  // namespace

void checkLtp(Image& img, LtpIndex& out) { LtpChecker(img, out).run(); }

}  // namespace pstcheck
