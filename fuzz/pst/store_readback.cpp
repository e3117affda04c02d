// Reads a closed store back through the LTP readers over the file itself and compares it with
// the model: folder properties and tables, every message's properties and attachments, and
// the name-to-ID map. The first disagreement is returned as text.
#include <algorithm>
#include <set>
#include <sstream>

#include "pst/messaging/property_tags.h"
#include "pstcheck/checker.h"
#include "store_file_view.h"
#include "store_model.h"
#include "zentra/error.h"

namespace pst_fuzz {
namespace {

using pst::readback::FileView;

using pst::Nid;
using pst::ltp::PropertyMap;
using pst::ltp::Value;

class Mismatch : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string hexNid(Nid nid) {
    std::ostringstream s;
    s << "0x" << std::hex << nid;
    return s.str();
}

void require(bool ok, const std::string& what) {
    if (!ok) throw Mismatch(what);
}

bool sameValue(const Value& a, const Value& b) { return a.type == b.type && a.bytes == b.bytes; }

void requireValue(const PropertyMap& read, uint16_t id, const Value& expected, const std::string& where) {
    auto it = read.find(id);
    std::ostringstream what;
    what << where << ": property 0x" << std::hex << id << " type 0x" << expected.type << " ("
         << std::dec << expected.bytes.size() << " bytes) ";
    require(it != read.end(), what.str() + "is missing");
    require(it->second.type == expected.type, what.str() + "reads back with type " + std::to_string(it->second.type));
    require(it->second.bytes == expected.bytes,
            what.str() + "reads back with other bytes (" + std::to_string(it->second.bytes.size()) + " bytes)");
}

void requireAll(const PropertyMap& read, const PropertyMap& written, const std::string& where) {
    for (const auto& [id, v] : written) requireValue(read, id, v, where);
}

std::set<uint32_t> rowIds(const pst::ltp::TableContents& t) {
    std::set<uint32_t> ids;
    for (const auto& row : t.rows) ids.insert(row.first);
    return ids;
}

PropertyMap pcOf(FileView& file, Nid nid) {
    auto node = file.findNode(nid);
    require(node.has_value(), "node " + hexNid(nid) + " is missing");
    return pst::ltp::readPropertyContext(file, node->data, node->subnodes);
}

pst::ltp::TableContents tableOf(FileView& file, Nid nid) {
    auto node = file.findNode(nid);
    require(node.has_value(), "table node " + hexNid(nid) + " is missing");
    return pst::ltp::readTableContext(file, node->data, node->subnodes);
}

void checkMessage(FileView& file, Nid folder, const ExpectedMessage& m) {
    const std::string where = "message " + hexNid(m.nid);
    auto node = file.findNode(m.nid);
    require(node.has_value(), where + " is missing");
    require(node->parent == folder, where + " has parent " + hexNid(node->parent));
    PropertyMap read = pst::ltp::readPropertyContext(file, node->data, node->subnodes);
    PropertyMap written = m.properties;
    written[mapi::PidTagMessageFlags.id] = pst::ltp::int32Value(m.flags);
    written[mapi::PidTagHasAttachments.id] = pst::ltp::boolValue(!m.attachments.empty());
    requireAll(read, written, where);

    std::vector<pst::ndb::SubnodeEntry> subnodes;
    if (node->subnodes != 0) subnodes = file.readSubnodeTree(node->subnodes);
    size_t attachmentNodes = 0;
    for (const auto& e : subnodes) attachmentNodes += pst::nidType(static_cast<Nid>(e.nid)) == pst::kNidTypeAttachment;
    require(attachmentNodes == m.attachments.size(),
            where + " has " + std::to_string(attachmentNodes) + " attachment objects");
    for (size_t i = 0; i < m.attachments.size(); ++i) {
        Nid attachNid = pst::makeNid(pst::kNidTypeAttachment, static_cast<uint32_t>(i + 1));
        auto it = std::find_if(subnodes.begin(), subnodes.end(), [&](const auto& e) { return e.nid == attachNid; });
        require(it != subnodes.end(), where + " lacks attachment " + hexNid(attachNid));
        requireAll(pst::ltp::readPropertyContext(file, it->data, it->subnodes), m.attachments[i],
                   where + " attachment " + std::to_string(i + 1));
    }
    if (!m.attachments.empty()) {
        auto table = std::find_if(subnodes.begin(), subnodes.end(),
                                  [](const auto& e) { return e.nid == pst::messaging::nid::kAttachmentTable; });
        require(table != subnodes.end(), where + " has attachments but no attachment table");
        auto contents = pst::ltp::readTableContext(file, table->data, table->subnodes);
        require(contents.rows.size() == m.attachments.size(),
                where + " attachment table has " + std::to_string(contents.rows.size()) + " rows");
    }
}

void checkFolder(FileView& file, const ExpectedStore& model, const ExpectedFolder& f) {
    const std::string where = "folder " + hexNid(f.nid) + " \"" + f.name + "\"";
    auto node = file.findNode(f.nid);
    require(node.has_value(), where + " is missing");
    require(node->parent == f.parent, where + " has parent " + hexNid(node->parent));
    PropertyMap pc = pst::ltp::readPropertyContext(file, node->data, node->subnodes);
    requireValue(pc, mapi::PidTagDisplayName.id, pst::ltp::stringValue(f.name), where);
    if (!f.containerClass.empty()) requireValue(pc, mapi::PidTagContainerClass.id, pst::ltp::stringValue(f.containerClass), where);
    requireValue(pc, mapi::PidTagContentCount.id, pst::ltp::int32Value(static_cast<int32_t>(f.messages.size())), where);
    requireValue(pc, mapi::PidTagContentUnreadCount.id, pst::ltp::int32Value(static_cast<int32_t>(f.unread)), where);
    requireValue(pc, mapi::PidTagSubfolders.id, pst::ltp::boolValue(!f.children.empty()), where);

    auto hierarchy = tableOf(file, pst::makeNid(pst::kNidTypeHierarchyTable, pst::nidIndex(f.nid)));
    std::set<uint32_t> children(f.children.begin(), f.children.end());
    require(rowIds(hierarchy) == children, where + " hierarchy table lists other children");
    for (const auto& [rowId, cells] : hierarchy.rows) {
        const ExpectedFolder& child = model.folders.at(rowId);
        auto name = cells.find(pst::messaging::tag(mapi::PidTagDisplayName.id, pst::ltp::kPtypString));
        require(name != cells.end() && sameValue(name->second, pst::ltp::stringValue(child.name)),
                where + " hierarchy row of " + hexNid(rowId) + " has another name");
    }

    auto contents = tableOf(file, pst::makeNid(pst::kNidTypeContentsTable, pst::nidIndex(f.nid)));
    std::set<uint32_t> messages;
    for (const auto& m : f.messages) messages.insert(m.nid);
    require(rowIds(contents) == messages, where + " contents table lists other messages");
    for (const auto& [rowId, cells] : contents.rows) {
        PropertyMap message = pcOf(file, rowId);
        for (const auto& [tag, v] : cells) {
            if (pst::messaging::tagId(tag) == mapi::PidTagLtpRowId.id || pst::messaging::tagId(tag) == mapi::PidTagLtpRowVer.id) continue;
            requireValue(message, pst::messaging::tagId(tag), v, where + " contents row " + hexNid(rowId) + " vs its message");
        }
    }
    for (const auto& m : f.messages) checkMessage(file, f.nid, m);
}

void checkNames(FileView& file, const ExpectedStore& model) {
    auto map = pst::messaging::NameToIdMap::fromProperties(pcOf(file, pst::messaging::nid::kNameToIdMap));
    for (const auto& n : model.names) {
        std::optional<uint16_t> id = std::holds_alternative<uint32_t>(n.name)
                                         ? map.find(n.guid, std::get<uint32_t>(n.name))
                                         : map.find(n.guid, std::get<std::string>(n.name));
        require(id == n.id, "named property " +
                                (std::holds_alternative<uint32_t>(n.name) ? std::to_string(std::get<uint32_t>(n.name))
                                                                          : "\"" + std::get<std::string>(n.name) + "\"") +
                                " maps to another id");
    }
}

}  // namespace

std::string checkStructure(const std::string& path) {
    try {
        pstcheck::Report report = pstcheck::checkFile(path);
        if (!report.clean()) return "pstcheck: " + report.toText(false);
        for (const auto& f : report.findings) {
            // compat.* warnings name layouts some reader depends on; anything else is untidiness
            // the writer should not produce.
            if (f.code.rfind("compat.", 0) != 0) return "pstcheck warning: " + report.toText(true);
        }
        pst::readback::StoreReader reader(path);
        std::vector<std::string> problems = reader.verify();
        if (!problems.empty()) return "StoreReader::verify: " + problems.front();
    } catch (const std::exception& e) {
        return std::string("structural check failed: ") + e.what();
    }
    return {};
}

std::string checkStoreAgainstModel(const std::string& path, const ExpectedStore& model) {
    try {
        FileView file(path);
        size_t folderNodes = 0, messageNodes = 0;
        for (const auto& [nid, info] : file.reader().nodes()) {
            folderNodes += pst::nidType(nid) == pst::kNidTypeNormalFolder;
            messageNodes += pst::nidType(nid) == pst::kNidTypeNormalMessage;
        }
        // Root folder, IPM subtree, Search Root and Deleted Items, then the program's folders.
        require(folderNodes == 4 + model.createdFolders, "the file holds " + std::to_string(folderNodes) + " folders");
        require(messageNodes == model.messageCount, "the file holds " + std::to_string(messageNodes) + " messages");
        for (const auto& [nid, f] : model.folders) checkFolder(file, model, f);
        checkNames(file, model);
    } catch (const Mismatch& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("reading the store back failed: ") + e.what();
    }
    return {};
}

}  // namespace pst_fuzz
