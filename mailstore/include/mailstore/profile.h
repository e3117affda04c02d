#pragma once
// The stores attached in one mail profile: what a session attaches, the mail client's namespace
// shows (one top folder per store, by its display name). The component registry that creates a
// session and a mail client gives both the same profile; there is no process-wide one.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/open_store.h"
#include "zentra/error.h"

namespace zentra::mailstore {

class Profile {
public:
    Profile() = default;
    ~Profile();   // detaches every store still attached (commit and close)
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    void attach(std::shared_ptr<pipeline::OpenStore> store);
    void remove(const std::shared_ptr<pipeline::OpenStore>& store);
    std::vector<std::shared_ptr<pipeline::OpenStore>> stores() const;   // attached ones, in attach order
    // The attached store whose display name matches, ignoring case; nullptr when none does.
    std::shared_ptr<pipeline::OpenStore> storeNamed(const std::string& displayName) const;

    // Detaches every store. A store whose final save fails keeps its last commit on disk; the
    // first such error is returned (after the other stores are detached), nullopt when none.
    std::optional<zentra::Error> detachAll();

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<pipeline::OpenStore>> stores_;
};

}  // namespace zentra::mailstore
