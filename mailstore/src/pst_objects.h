#pragma once
// The PST-backed objects behind the interfaces of rdo.h and mail_client.h. Each holds the open
// store it belongs to and the import session whose read-ahead and options its items use.
#include <memory>
#include <optional>
#include <string>

#include "mailstore/profile.h"
#include "mailstore/rdo.h"
#include "pipeline/import_session.h"

namespace zentra::mailstore::detail {

struct StoreContext {
    std::shared_ptr<pipeline::ImportSession> session;
    std::shared_ptr<pipeline::OpenStore> store;
};

// A folder of an attached store. nameOverride is the name shown instead of the folder's own:
// the mail client shows a store's top folder under the store's display name.
std::shared_ptr<Folder> makeFolder(StoreContext context, pst::Nid nid,
                                   std::optional<std::string> nameOverride = std::nullopt);

// The container class a Folders.Add type stands for; kErrInvalidArgument for others.
std::string containerClassForFolderType(long folderType);

}  // namespace zentra::mailstore::detail
