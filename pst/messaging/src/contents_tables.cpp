// Which folders keep their contents table in memory. An import fills one folder after another,
// so only the folders written to last need theirs at hand; the others are parked: their
// table is exactly the node the last commit wrote, and is read back from it should the
// folder get another message (the rebuilt table is then written whole at the next commit).
#include <algorithm>
#include <vector>

#include "pst/core/le_codec.h"
#include "pst/messaging/property_tags.h"
#include "pst/messaging/table_templates.h"
#include "store_state.h"
#include "zentra/error.h"

namespace pst::messaging {

ltp::AppendTable& Store::State::contentsOf(FolderState& folder) {
    if (folder.contents) return *folder.contents;
    auto table = std::make_unique<ltp::AppendTable>(templateLayout(TableTemplate::Contents));
    if (folder.contentCount != 0) {
        const std::optional<ndb::NodeInfo> node = db->findNode(contentsTableOf(folder.nid));
        if (!node)
            throw zentra::Error(zentra::kErrStoreCorrupt, "the contents table of \"" + folder.name + "\" is missing");
        ltp::TableContents stored = ltp::readTableContext(*db, node->data, node->subnodes);
        for (auto& [rowId, cells] : stored.rows) {
            uint32_t version = 0;
            ltp::PropertyMap row;
            for (auto& [tag, value] : cells) {
                if (tag == mapi::PidTagLtpRowVer.tag()) version = core::readLe32(value.bytes, 0);
                row.insert_or_assign(tagId(tag), std::move(value));
            }
            table->appendRow(rowId, version, row);
        }
    }
    folder.contents = std::move(table);
    contentsHeld.push_back(folder.nid);
    return *folder.contents;
}

void Store::State::parkIdleContents() {
    if (contentsHeld.size() <= options.contentsTablesInMemory) return;
    std::vector<FolderState*> held;
    for (const Nid nid : contentsHeld) {
        FolderState& folder = folderOrThrow(nid);
        if (!folder.contentsDirty) held.push_back(&folder);
    }
    const size_t keep = std::min(held.size(), options.contentsTablesInMemory);
    // The tables kept are those that got a message last.
    std::nth_element(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(keep), held.end(),
                     [](const FolderState* a, const FolderState* b) { return a->lastMessage > b->lastMessage; });
    for (auto it = held.begin() + static_cast<std::ptrdiff_t>(keep); it != held.end(); ++it) (*it)->contents.reset();
    std::erase_if(contentsHeld, [this](Nid nid) { return !folderOrThrow(nid).contents; });
}

}  // namespace pst::messaging
