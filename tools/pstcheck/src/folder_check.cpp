// Store-level structure ([MS-PST] 2.4.3, 2.4.4, 2.7): the mandatory nodes, the special folders
// the message store names, parent links, and each folder's tables against the nodes under it.
#include <algorithm>
#include <set>

#include "case_fold.h"
#include "semantic_checks.h"

namespace pstcheck {
namespace {

constexpr uint32_t kRootFolder = 0x122;
constexpr uint16_t kPidTagRecordKey = 0x0FF9;
constexpr uint16_t kPidTagDisplayName = 0x3001;
constexpr uint16_t kPidTagContentCount = 0x3602;
constexpr uint16_t kPidTagSubfolders = 0x360A;

bool isFolder(uint32_t nid) { return nidType(nid) == kNidNormalFolder || nidType(nid) == kNidSearchFolder; }

std::string nidList(const std::set<uint32_t>& s) {
    std::string out;
    for (uint32_t n : s) out += (out.empty() ? "" : ", ") + hex(n);
    return out;
}

void requireNode(Image& img, uint32_t nid, const std::string& what) {
    if (!img.node(nid)) img.sink.error("nbt.mandatory", std::nullopt, "mandatory node " + hex(nid) + " (" + what + ") is missing");
}

void requireFolder(Image& img, uint32_t nid, const std::string& what) {
    requireNode(img, nid, what);
    requireNode(img, nidWithType(nid, kNidHierarchyTable), what + " hierarchy table");
    requireNode(img, nidWithType(nid, kNidContentsTable), what + " contents table");
    requireNode(img, nidWithType(nid, kNidAssocContentsTable), what + " FAI contents table");
}

// Compares a table's row ids with the nodes it should list.
void compareRows(Image& img, const TcView& tc, const std::set<uint32_t>& expected, const char* code, const std::string& what) {
    std::set<uint32_t> rows;
    for (uint32_t id : tc.rowIds)
        if (!rows.insert(id).second) img.sink.error(code, tc.node->where.offset, what + " lists row " + hex(id) + " twice");
    std::set<uint32_t> missing, extra;
    for (uint32_t n : expected) if (!rows.count(n)) missing.insert(n);
    for (uint32_t n : rows) if (!expected.count(n)) extra.insert(n);
    if (!missing.empty()) img.sink.error(code, tc.node->where.offset, what + " has no row for " + nidList(missing));
    if (!extra.empty()) img.sink.error(code, tc.node->where.offset, what + " has rows for nodes that are not there: " + nidList(extra));
}

// Each row of a folder's hierarchy or contents table copies properties of the object it stands
// for; a row that disagrees with its object is what scanpst reports as "row doesn't match".
void compareRowValues(Image& img, const TcView& tc, const LtpIndex& ltp, const char* code, const std::string& what) {
    for (size_t r = 0; r < tc.rows.size(); ++r) {
        const uint32_t id = tc.rowIds[r];
        auto obj = ltp.pcs.find(id);
        if (obj == ltp.pcs.end()) continue;
        for (const auto& col : tc.columns) {
            const uint16_t propId = col.tag >> 16, type = col.tag & 0xFFFF;
            if (propId == 0x67F2 || propId == 0x67F3) continue;  // the row's own id and version
            auto prop = obj->second.props.find(propId);
            if (prop == obj->second.props.end() || prop->second.type != type) continue;
            auto cell = tc.cell(r, col);
            auto value = obj->second.valueBytes(propId);
            if (!cell || !value) continue;
            if (*cell == *value) continue;
            const std::string msg = what + ": row " + hex(id) + " column " + hex(col.tag) + " differs from the object's own value";
            // Outlook itself lets the row's PidTagMessageSize lag behind the message (submessage.pst).
            if (propId == 0x0E08) img.sink.warn(code, tc.node->where.offset, msg);
            else img.sink.error(code, tc.node->where.offset, msg);
        }
    }
}

}  // namespace

void checkMandatoryNodes(Image& img, const LtpIndex& ltp) {
    // The fixed NIDs of [MS-PST] 2.7.1.
    const std::pair<uint32_t, const char*> fixed[] = {
        {0x21, "message store"}, {0x61, "name-to-ID map"}, {0x1E1, "search management queue"},
        {0x201, "search activity list"}, {0x60D, "hierarchy table template"}, {0x60E, "contents table template"},
        {0x60F, "FAI contents table template"}, {0x610, "search contents table template"},
        {0x671, "attachment table template"}, {0x692, "recipient table template"},
    };
    for (auto [nid, what] : fixed) requireNode(img, nid, what);
    requireFolder(img, kRootFolder, "root folder");

    // The IPM subtree, Deleted Items and the search root are found through the store's entry IDs.
    auto store = ltp.pcs.find(0x21);
    if (store == ltp.pcs.end()) return;
    auto recordKey = store->second.binary(kPidTagRecordKey);
    if (!recordKey || recordKey->size() != 16)
        img.sink.error("store.record_key", std::nullopt, "the message store has no 16-byte PidTagRecordKey");
    const std::pair<uint16_t, const char*> entryIds[] = {
        {0x35E0, "IPM subtree"}, {0x35E3, "Deleted Items"}, {0x35E7, "search root"}};
    for (auto [prop, what] : entryIds) {
        auto eid = store->second.binary(prop);
        if (!eid || eid->size() != 24) {
            img.sink.error("store.entryid", std::nullopt, std::string("the message store's entry ID of the ") + what +
                                                              " (" + hex(prop) + ") is missing or not 24 bytes");
            continue;
        }
        Bytes b(*eid);
        if (recordKey && recordKey->size() == 16 && !std::equal(recordKey->begin(), recordKey->end(), eid->begin() + 4))
            img.sink.error("store.entryid", std::nullopt, std::string("entry ID of the ") + what + " names another store");
        uint32_t nid = u32(b, 20);
        if (nidType(nid) != kNidNormalFolder)
            img.sink.error("store.entryid", std::nullopt, std::string("entry ID of the ") + what + " names " + hex(nid) + ", not a folder");
        requireFolder(img, nid, what);
    }
    bool spam = false;
    for (const auto& [nid, e] : img.nbt) spam |= nidType(nid) == kNidSearchFolder && e.nidParent == kRootFolder;
    if (!spam) img.sink.error("nbt.mandatory", std::nullopt, "the root folder has no search folder (the spam search folder)");
}

void checkFolders(Image& img, const LtpIndex& ltp) {
    Sink& s = img.sink;
    std::map<uint32_t, std::set<uint32_t>> childFolders, messages, assocMessages;
    for (const auto& [nid, e] : img.nbt) {
        const uint8_t t = nidType(nid);
        if (isFolder(nid)) {
            if (nid == kRootFolder) {
                if (e.nidParent != kRootFolder) s.error("nbt.parent", std::nullopt, "the root folder's nidParent is " + hex(e.nidParent) + ", not itself");
                continue;
            }
            if (e.nidParent == nid || nidType(e.nidParent) != kNidNormalFolder || !img.node(e.nidParent))
                s.error("nbt.parent", std::nullopt, "folder " + hex(nid) + ": parent " + hex(e.nidParent) + " is not an existing folder");
            childFolders[e.nidParent].insert(nid);
        } else if (t == kNidNormalMessage || t == kNidAssocMessage) {
            if (!isFolder(e.nidParent) || !img.node(e.nidParent))
                s.error("nbt.parent", std::nullopt, "message " + hex(nid) + ": parent " + hex(e.nidParent) + " is not an existing folder");
            (t == kNidNormalMessage ? messages : assocMessages)[e.nidParent].insert(nid);
        }
    }

    for (const auto& [nid, e] : img.nbt) {
        if (nidType(nid) != kNidNormalFolder) continue;
        const std::string name = "folder " + hex(nid);
        auto pc = ltp.pcs.find(nid);
        if (pc != ltp.pcs.end() && !pc->second.string(kPidTagDisplayName))
            s.error("folder.name", std::nullopt, name + " has no PidTagDisplayName");
        auto table = [&, folderNid = nid](uint8_t type) -> const TcView* {
            auto it = ltp.tcs.find(nidWithType(folderNid, type));
            return it == ltp.tcs.end() ? nullptr : &it->second;
        };
        const TcView* hier = table(kNidHierarchyTable);
        const TcView* contents = table(kNidContentsTable);
        const TcView* fai = table(kNidAssocContentsTable);
        if (!hier || !contents || !fai) {
            s.error("folder.tables", std::nullopt, name + " lacks a readable hierarchy, contents or FAI table");
        }
        // Outlook cannot hold two sibling folders whose names differ only in case.
        std::map<std::u16string, uint32_t> siblingNames;
        for (uint32_t child : childFolders[nid]) {
            auto cpc = ltp.pcs.find(child);
            auto childName = cpc == ltp.pcs.end() ? std::nullopt : cpc->second.string(kPidTagDisplayName);
            if (!childName) continue;
            auto [it, fresh] = siblingNames.emplace(foldCase(*childName), child);
            if (!fresh)
                s.error("folder.duplicate_name", std::nullopt, name + ": subfolders " + hex(it->second) + " and " + hex(child) +
                                                                   " are both named \"" + toUtf8(*childName) + "\" (ignoring case)");
        }
        if (hier) {
            compareRows(img, *hier, childFolders[nid], "folder.hierarchy", name + "'s hierarchy table");
            compareRowValues(img, *hier, ltp, "folder.hierarchy_row", name + "'s hierarchy table");
        }
        if (contents) {
            compareRows(img, *contents, messages[nid], "folder.contents", name + "'s contents table");
            compareRowValues(img, *contents, ltp, "folder.contents_row", name + "'s contents table");
        }
        if (fai) compareRows(img, *fai, assocMessages[nid], "folder.fai", name + "'s FAI contents table");
        if (pc == ltp.pcs.end()) continue;
        auto count = pc->second.int32(kPidTagContentCount);
        if (!count) s.error("folder.count", std::nullopt, name + " has no PidTagContentCount");
        else if (contents && static_cast<size_t>(*count) != contents->rowIds.size())
            s.error("folder.count", std::nullopt, name + ": PidTagContentCount " + std::to_string(*count) + " but the contents table has " +
                                                      std::to_string(contents->rowIds.size()) + " rows");
        auto sub = pc->second.boolean(kPidTagSubfolders);
        if (!sub) s.error("folder.subfolders", std::nullopt, name + " has no PidTagSubfolders");
        else if (hier && *sub != !hier->rowIds.empty())
            s.error("folder.subfolders", std::nullopt, name + ": PidTagSubfolders is " + (*sub ? "true" : "false") +
                                                           " but the hierarchy table has " + std::to_string(hier->rowIds.size()) + " rows");
    }
}

}  // namespace pstcheck
