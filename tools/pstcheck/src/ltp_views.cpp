// Reading values out of checked property and table contexts.
#include "ltp.h"

#include <set>

namespace pstcheck {

std::optional<std::vector<uint8_t>> LtpNode::hnidBytes(uint32_t hnid) const {
    if ((hnid & 0x1F) == 0) {
        auto item = heap.item(hnid);
        if (!item) return std::nullopt;
        return std::vector<uint8_t>(item->begin(), item->end());
    }
    auto it = subnodes.find(hnid);
    if (it == subnodes.end()) return std::nullopt;
    auto blocks = img->dataTree(it->second.bidData);
    if (!blocks) return std::nullopt;
    std::vector<uint8_t> out;
    for (auto& b : *blocks) out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::optional<int32_t> PcView::int32(uint16_t id) const {
    auto it = props.find(id);
    if (it == props.end() || it->second.type != 0x0003) return std::nullopt;
    return static_cast<int32_t>(it->second.value);
}

std::optional<bool> PcView::boolean(uint16_t id) const {
    auto it = props.find(id);
    if (it == props.end() || it->second.type != 0x000B) return std::nullopt;
    return (it->second.value & 0xFF) != 0;
}

std::optional<std::vector<uint8_t>> PcView::binary(uint16_t id) const {
    auto it = props.find(id);
    if (it == props.end()) return std::nullopt;
    if (it->second.value == 0) return std::vector<uint8_t>{};
    return node->hnidBytes(it->second.value);
}

std::optional<std::u16string> PcView::string(uint16_t id) const {
    auto it = props.find(id);
    if (it == props.end() || it->second.type != 0x001F) return std::nullopt;
    auto bytes = binary(id);
    if (!bytes) return std::nullopt;
    std::u16string s;
    for (size_t i = 0; i + 1 < bytes->size(); i += 2) s += static_cast<char16_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));
    return s;
}

std::optional<std::vector<uint8_t>> PcView::valueBytes(uint16_t id) const {
    auto it = props.find(id);
    if (it == props.end()) return std::nullopt;
    const uint16_t type = it->second.type;
    const uint32_t v = it->second.value;
    auto le = [v](size_t n) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return out;
    };
    switch (type) {
        case 0x000B: return le(1);
        case 0x0002: return le(2);
        case 0x0003: case 0x0004: case 0x000A: return le(4);
        default: break;
    }
    if (variableType(type) && v == 0) return std::vector<uint8_t>{};
    return node->hnidBytes(v);
}

std::optional<std::vector<uint8_t>> TcView::cell(size_t row, const Column& col) const {
    if (!cellsReadable || row >= rows.size() || col.ib + col.cb > cebOffset) return std::nullopt;
    const auto& r = rows[row];
    if (cebOffset + col.bit / 8 >= r.size()) return std::nullopt;
    if (!((r[cebOffset + col.bit / 8] >> (7 - col.bit % 8)) & 1)) return std::nullopt;
    std::vector<uint8_t> bytes(r.begin() + col.ib, r.begin() + col.ib + col.cb);
    if (col.cb == 4 && variableType(col.tag & 0xFFFF)) {
        uint32_t hnid = u32(bytes, 0);
        if (hnid == 0) return std::vector<uint8_t>{};
        return node->hnidBytes(hnid);
    }
    return bytes;
}

}  // namespace pstcheck
