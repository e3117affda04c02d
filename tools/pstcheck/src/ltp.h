#pragma once
// Property contexts ([MS-PST] 2.3.3) and table contexts (2.3.4) as the folder-level checks need
// them, after their internal consistency has been checked.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "heap.h"
#include "pstcheck/text.h"

namespace pstcheck {

// A node's heap together with its subnodes, so HNIDs can be resolved either way.
struct LtpNode {
    const Image* img = nullptr;
    Heap heap;
    std::map<uint32_t, SubnodeEntry> subnodes;
    Where where;

    // The bytes an HNID stands for: a heap item, or a subnode's whole data tree.
    std::optional<std::vector<uint8_t>> hnidBytes(uint32_t hnid) const;
};

struct PcView {
    std::shared_ptr<LtpNode> node;
    struct Prop { uint16_t type = 0; uint32_t value = 0; };
    std::map<uint16_t, Prop> props;

    std::optional<int32_t> int32(uint16_t id) const;
    std::optional<bool> boolean(uint16_t id) const;
    std::optional<std::vector<uint8_t>> binary(uint16_t id) const;
    std::optional<std::u16string> string(uint16_t id) const;
    // The value's bytes as a table cell would hold them (inline values in their own width).
    std::optional<std::vector<uint8_t>> valueBytes(uint16_t id) const;
};

struct TcView {
    struct Column {
        uint32_t tag = 0;
        uint16_t ib = 0;
        uint8_t cb = 0, bit = 0;
    };
    std::shared_ptr<LtpNode> node;
    std::vector<uint32_t> rowIds;  // in row-matrix order
    std::vector<Column> columns;
    std::vector<std::vector<uint8_t>> rows;
    size_t cebOffset = 0;          // TCI_1b: where the cell-existence bitmap starts
    bool cellsReadable = false;

    // A cell's value (variable-size values resolved through the heap or subnodes); nothing
    // when the cell does not exist.
    std::optional<std::vector<uint8_t>> cell(size_t row, const Column& col) const;
};

struct LtpIndex {
    std::map<uint32_t, PcView> pcs;  // top-level PC nodes by NID
    std::map<uint32_t, TcView> tcs;  // top-level TC nodes by NID
    // PCs and TCs directly in a top-level node's subnodes, by (node NID, subnode NID):
    // a message's recipient and attachment tables and its attachments.
    std::map<std::pair<uint32_t, uint32_t>, PcView> subPcs;
    std::map<std::pair<uint32_t, uint32_t>, TcView> subTcs;
};

// Checks the HN, BTH and PC/TC structure of every node (and subnode) that holds one.
void checkLtp(Image& img, LtpIndex& out);

// Property types by how a PC stores them ([MS-PST] 2.3.3.3).
inline bool inlineType(uint16_t type) {
    return type == 0x0002 || type == 0x0003 || type == 0x0004 || type == 0x000A || type == 0x000B;
}
// Fixed-size types too large to be inline: their HID names an item of exactly this size.
inline size_t fixedSize(uint16_t type) {
    switch (type) {
        case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
        case 0x0048: return 16;
        default: return 0;
    }
}
inline bool variableType(uint16_t type) {
    return type == 0x001E || type == 0x001F || type == 0x0102 || type == 0x000D || type == 0x00FB ||
           type == 0x00FD || type == 0x00FE || (type & 0x1000);
}

}  // namespace pstcheck
