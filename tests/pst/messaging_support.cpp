#include "messaging_support.h"

#include <algorithm>

#include "pst/core/le_codec.h"

namespace messaging_test {

uint64_t FileNodes::dataTreeSize(pst::Bid root) {
    if (root == 0) return 0;
    const auto& blocks = reader_.blocks();
    auto it = blocks.find(root);
    if (it == blocks.end()) throw zentra::Error(zentra::kErrStoreCorrupt, "no block " + std::to_string(root));
    uint64_t total = it->second.cb;
    if ((root & 2) == 0) return total;
    for (const auto& leaf : reader_.readBlocks(root)) total += leaf.size();   // one XBLOCK level
    return total;
}

uint64_t FileNodes::subnodeTreeSize(pst::Bid root) {
    if (root == 0) return 0;
    auto it = reader_.blocks().find(root);
    if (it == reader_.blocks().end()) throw zentra::Error(zentra::kErrStoreCorrupt, "no block " + std::to_string(root));
    uint64_t total = it->second.cb;
    for (const auto& e : reader_.readSubnodeTree(root)) total += dataTreeSize(e.data) + subnodeTreeSize(e.subnodes);
    return total;
}

pst::ltp::PropertyMap FileNodes::pc(pst::Nid nid) {
    auto node = findNode(nid);
    if (!node) throw zentra::Error(zentra::kErrStoreCorrupt, "missing node " + std::to_string(nid));
    return pst::ltp::readPropertyContext(*this, node->data, node->subnodes);
}

pst::ltp::TableContents FileNodes::table(pst::Nid nid) {
    auto node = findNode(nid);
    if (!node) throw zentra::Error(zentra::kErrStoreCorrupt, "missing node " + std::to_string(nid));
    return pst::ltp::readTableContext(*this, node->data, node->subnodes);
}

std::string text(const pst::ltp::Value& v) {
    std::string out;
    for (size_t i = 0; i + 1 < v.bytes.size(); i += 2) {
        char32_t c = v.bytes[i] | (v.bytes[i + 1] << 8);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < v.bytes.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((v.bytes[i + 2] | (v.bytes[i + 3] << 8)) - 0xDC00);
            i += 2;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int32_t int32(const pst::ltp::Value& v) {
    EXPECT_EQ(v.bytes.size(), 4u);
    return v.bytes.size() == 4 ? static_cast<int32_t>(pst::core::readLe32(v.bytes, 0)) : 0;
}

std::vector<uint32_t> columnTags(const pst::ltp::TableContents& t) { return columnTags(t.columns); }

std::vector<uint32_t> columnTags(const std::vector<pst::ltp::Column>& columns) {
    std::vector<uint32_t> tags;
    for (const auto& c : columns) tags.push_back(c.tag);
    std::sort(tags.begin(), tags.end());
    return tags;
}

std::vector<uint32_t> rowIds(const pst::ltp::TableContents& t) {
    std::vector<uint32_t> ids;
    for (const auto& [id, cells] : t.rows) ids.push_back(id);
    return ids;
}

const pst::ltp::Value* cell(const pst::ltp::TableContents& t, uint32_t rowId, uint32_t tag) {
    for (const auto& [id, cells] : t.rows) {
        if (id != rowId) continue;
        auto it = cells.find(tag);
        return it == cells.end() ? nullptr : &it->second;
    }
    return nullptr;
}

pst::messaging::StoreUid fixedUid() {
    return {0x53, 0x66, 0xE7, 0xDD, 0x90, 0x0F, 0xB7, 0x4D, 0xB6, 0xE1, 0x30, 0xCE, 0xDF, 0x3B, 0xC0, 0x77};
}

}  // namespace messaging_test
