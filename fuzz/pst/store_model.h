#pragma once
// What the engine driver expects to find in the file it wrote: every folder with its messages
// and every named property it registered, recorded while the program ran.
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "pst/core/types.h"
#include "pst/ltp/ltp.h"
#include "pst/messaging/name_to_id_map.h"

namespace pst_fuzz {

struct ExpectedMessage {
    pst::Nid nid = 0;
    pst::ltp::PropertyMap properties;                  // as passed to addMessage
    std::vector<pst::ltp::PropertyMap> attachments;    // as passed, in order
    int32_t flags = 0;                                 // PidTagMessageFlags the file must hold
};

struct ExpectedFolder {
    pst::Nid nid = 0;
    pst::Nid parent = 0;
    std::string name;             // UTF-8
    std::string containerClass;   // empty: none
    std::vector<pst::Nid> children;
    std::vector<ExpectedMessage> messages;
    uint32_t unread = 0;
};

// A named property as registered: numeric (LID) or string name, and the id the map gave it.
struct ExpectedName {
    pst::messaging::Guid guid{};
    std::variant<uint32_t, std::string> name;
    uint16_t id = 0;
};

struct ExpectedStore {
    std::map<pst::Nid, ExpectedFolder> folders;   // IPM subtree, Deleted Items and created folders
    std::vector<ExpectedName> names;
    size_t createdFolders = 0;
    size_t messageCount = 0;
};

// Compares the closed store at path with the model. Returns the first disagreement, or "".
std::string checkStoreAgainstModel(const std::string& path, const ExpectedStore& expected);

// Structural checks alone: pstcheck (errors, and warnings outside the tolerated families) and
// the node database's verifier. Returns the first problem, or "".
std::string checkStructure(const std::string& path);

}  // namespace pst_fuzz
