#pragma once
// The mail client's object model (ProgID "Outlook.Application"), by the member names the
// program calls. Its namespace shows one top folder per attached store, named by the store's
// display name, including stores attached through a session in this process.
#include <memory>
#include <string>

#include "mailstore/component.h"
#include "mailstore/rdo.h"

namespace zentra::mailstore {

class Explorer {
public:
    virtual ~Explorer() = default;
    virtual std::shared_ptr<Folder> CurrentFolder() = 0;
};

class Namespace {
public:
    virtual ~Namespace() = default;
    // Top folders, one per attached store; Item(name) finds one by store display name.
    virtual std::shared_ptr<mailstore::Folders> Folders() = 0;
};

class Application : public Component {
public:
    virtual std::shared_ptr<mailstore::Namespace> GetNamespace(const std::string& type) = 0;   // only "MAPI"
    // There is no mail-client window on this platform: always throws kErrNoExplorer.
    virtual std::shared_ptr<Explorer> ActiveExplorer() = 0;
};

}  // namespace zentra::mailstore
