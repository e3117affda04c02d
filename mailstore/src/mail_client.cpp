// The mail client's application and namespace (ProgID "Outlook.Application"): a view of its
// profile, one top folder per attached store, named by the store's display name.
#include "mailstore/factories.h"
#include "pst_objects.h"
#include "zentra/error.h"

namespace zentra::mailstore {
namespace detail {
namespace {

// Items added through the mail client's folders read their files without a read-ahead, with the
// mapping's defaults.
class StoreTopFolders final : public Folders {
public:
    explicit StoreTopFolders(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}
    long Count() override { return static_cast<long>(attached().size()); }

    std::shared_ptr<Folder> Item(long index) override {
        auto stores = attached();
        if (index < 1 || index > static_cast<long>(stores.size()))
            throw Error(kErrSubscriptOutOfRange, "folder index " + std::to_string(index) + " is out of range 1.." +
                                                     std::to_string(stores.size()));
        return topFolder(stores[static_cast<size_t>(index - 1)]);
    }

    std::shared_ptr<Folder> Item(const std::string& name) override {
        auto store = profile_->storeNamed(name);
        if (!store) throw Error(kErrFolderNotFound, "no attached store is named \"" + name + "\"");
        return topFolder(store);
    }

    std::shared_ptr<Folder> Add(const std::string& name, long) override {
        throw Error(kErrInvalidCall, "cannot add \"" + name + "\" at the top of the namespace: attach a store instead");
    }

private:
    std::vector<std::shared_ptr<pipeline::OpenStore>> attached() const { return profile_->stores(); }
    std::shared_ptr<Folder> topFolder(const std::shared_ptr<pipeline::OpenStore>& store) {
        if (!session_) session_ = std::make_shared<pipeline::ImportSession>();
        return makeFolder(StoreContext{session_, store}, store->store().ipmSubtree(), store->displayName());
    }

    std::shared_ptr<Profile> profile_;
    std::shared_ptr<pipeline::ImportSession> session_;
};

class MapiNamespace final : public Namespace {
public:
    explicit MapiNamespace(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}
    std::shared_ptr<mailstore::Folders> Folders() override { return std::make_shared<StoreTopFolders>(profile_); }

private:
    std::shared_ptr<Profile> profile_;
};

class LocalApplication final : public Application {
public:
    explicit LocalApplication(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}
    std::shared_ptr<mailstore::Namespace> GetNamespace(const std::string& type) override {
        if (type != "MAPI") throw Error(kErrInvalidArgument, "namespace \"" + type + "\" is not supported; use \"MAPI\"");
        return std::make_shared<MapiNamespace>(profile_);
    }
    std::shared_ptr<Explorer> ActiveExplorer() override {
        throw Error(kErrNoExplorer, "there is no mail-client window on this platform");
    }

private:
    std::shared_ptr<Profile> profile_;
};

}  // namespace
}  // namespace detail

std::shared_ptr<Application> createApplication(std::shared_ptr<Profile> profile) {
    return std::make_shared<detail::LocalApplication>(std::move(profile));
}

}  // namespace zentra::mailstore
