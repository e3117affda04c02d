// Message objects ([MS-PST] 2.4.5, 2.4.6): the properties every message PC must carry, the
// recipient table every message must have, and attachment subnodes against the attachment
// table that lists them.
#include <set>

#include "semantic_checks.h"

namespace pstcheck {
namespace {

constexpr uint32_t kRecipientTable = 0x692;
constexpr uint32_t kAttachmentTable = 0x671;
constexpr uint32_t kMfHasAttach = 0x10;

struct Required {
    uint16_t id, type;
    const char* name;
    bool outlookOmits = false;  // required by [MS-PST], yet missing from Outlook's own files
};

constexpr Required kMessageProps[] = {
    {0x001A, 0x001F, "PidTagMessageClass"}, {0x0E07, 0x0003, "PidTagMessageFlags"},
    {0x0E08, 0x0003, "PidTagMessageSize"},  {0x0E17, 0x0003, "PidTagMessageStatus", true},
    {0x3007, 0x0040, "PidTagCreationTime"}, {0x3008, 0x0040, "PidTagLastModificationTime"},
    {0x300B, 0x0102, "PidTagSearchKey"},
};
constexpr Required kAttachmentProps[] = {
    {0x0E20, 0x0003, "PidTagAttachSize"}, {0x3705, 0x0003, "PidTagAttachMethod"},
    {0x370B, 0x0003, "PidTagRenderingPosition"},
};

template <size_t N>
void requireProps(Image& img, const PcView& pc, const Required (&props)[N], const char* code, const std::string& what) {
    for (const auto& r : props) {
        auto it = pc.props.find(r.id);
        if (it != pc.props.end() && it->second.type == r.type) continue;
        const std::string msg = what + " lacks " + r.name + " (" + hex(r.id) + ")";
        if (r.outlookOmits) img.sink.warn(code, pc.node->where.offset, msg);
        else img.sink.error(code, pc.node->where.offset, msg);
    }
}

}  // namespace

void checkMessages(Image& img, const LtpIndex& ltp) {
    for (const auto& [nid, pc] : ltp.pcs) {
        if (nidType(nid) != kNidNormalMessage && nidType(nid) != kNidAssocMessage) continue;
        const std::string name = "message " + hex(nid);
        requireProps(img, pc, kMessageProps, "message.required", name);

        const auto& subs = pc.node->subnodes;
        // [MS-PST] 2.4.5.2 says every message has one, but Outlook leaves it out of messages
        // without recipients (all the sample contacts), so its absence is only noted.
        if (!subs.count(kRecipientTable))
            img.sink.warn("message.recipients", pc.node->where.offset, name + " has no recipient table (subnode 0x692)");

        std::set<uint32_t> attachments;
        for (const auto& [snid, se] : subs) {
            if (nidType(snid) != kNidAttachment) continue;
            attachments.insert(snid);
            auto apc = ltp.subPcs.find({nid, snid});
            if (apc != ltp.subPcs.end())
                requireProps(img, apc->second, kAttachmentProps, "attachment.required", name + " attachment " + hex(snid));
        }
        auto table = ltp.subTcs.find({nid, kAttachmentTable});
        std::set<uint32_t> rows;
        if (table != ltp.subTcs.end()) rows.insert(table->second.rowIds.begin(), table->second.rowIds.end());
        if (rows != attachments)
            img.sink.error("message.attachments", pc.node->where.offset,
                           name + ": " + std::to_string(attachments.size()) + " attachment subnodes but " +
                               std::to_string(rows.size()) + " matching attachment table rows");
        if (auto flags = pc.int32(0x0E07); flags && ((*flags & kMfHasAttach) != 0) != !attachments.empty())
            img.sink.error("message.flags", pc.node->where.offset,
                           name + ": mfHasAttach is " + ((*flags & kMfHasAttach) ? "set" : "clear") + " with " +
                               std::to_string(attachments.size()) + " attachments");
    }
}

}  // namespace pstcheck
