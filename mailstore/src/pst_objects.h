#pragma once
// The PST-backed objects behind the interfaces of rdo.h and mail_client.h.
#include <memory>
#include <optional>
#include <string>

#include "mailstore/profile.h"
#include "mailstore/rdo.h"

namespace zentra::mailstore::detail {

// A folder of an attached store. nameOverride is the name shown instead of the folder's own:
// the mail client shows a store's top folder under the store's display name.
std::shared_ptr<Folder> makeFolder(std::shared_ptr<AttachedStore> store, pst::Nid nid,
                                   std::optional<std::string> nameOverride = std::nullopt);
std::shared_ptr<Store> makeStore(std::shared_ptr<AttachedStore> store);

// The attached store whose display name matches, ignoring case; nullptr when none does.
std::shared_ptr<AttachedStore> findStoreByName(const std::string& displayName);

// The container class a Folders.Add type stands for; kErrInvalidArgument for others.
std::string containerClassForFolderType(long folderType);

}  // namespace zentra::mailstore::detail
