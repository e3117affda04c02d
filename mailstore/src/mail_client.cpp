// The mail client's application and namespace (ProgID "Outlook.Application"): a view of the
// process-wide profile, one top folder per attached store, named by the store's display name.
#include "mailstore/factories.h"
#include "pst_objects.h"
#include "zentra/error.h"

namespace zentra::mailstore {
namespace detail {
namespace {

class StoreTopFolders final : public Folders {
public:
    long Count() override { return static_cast<long>(attached().size()); }

    std::shared_ptr<Folder> Item(long index) override {
        auto stores = attached();
        if (index < 1 || index > static_cast<long>(stores.size()))
            throw Error(kErrSubscriptOutOfRange, "folder index " + std::to_string(index) + " is out of range 1.." +
                                                     std::to_string(stores.size()));
        return topFolder(stores[static_cast<size_t>(index - 1)]);
    }

    std::shared_ptr<Folder> Item(const std::string& name) override {
        auto store = findStoreByName(name);
        if (!store) throw Error(kErrFolderNotFound, "no attached store is named \"" + name + "\"");
        return topFolder(store);
    }

    std::shared_ptr<Folder> Add(const std::string& name, long) override {
        throw Error(kErrInvalidCall, "cannot add \"" + name + "\" at the top of the namespace: attach a store instead");
    }

private:
    static std::vector<std::shared_ptr<AttachedStore>> attached() {
        std::vector<std::shared_ptr<AttachedStore>> out;
        for (auto& s : Profile::instance().stores())
            if (s->attached()) out.push_back(s);
        return out;
    }
    static std::shared_ptr<Folder> topFolder(const std::shared_ptr<AttachedStore>& store) {
        return makeFolder(store, store->store().ipmSubtree(), store->displayName());
    }
};

class MapiNamespace final : public Namespace {
public:
    std::shared_ptr<mailstore::Folders> Folders() override { return std::make_shared<StoreTopFolders>(); }
};

class LocalApplication final : public Application {
public:
    std::shared_ptr<mailstore::Namespace> GetNamespace(const std::string& type) override {
        if (type != "MAPI") throw Error(kErrInvalidArgument, "namespace \"" + type + "\" is not supported; use \"MAPI\"");
        return std::make_shared<MapiNamespace>();
    }
    std::shared_ptr<Explorer> ActiveExplorer() override {
        throw Error(kErrNoExplorer, "there is no mail-client window on this platform");
    }
};

}  // namespace
}  // namespace detail

std::shared_ptr<Application> createApplication() { return std::make_shared<detail::LocalApplication>(); }

}  // namespace zentra::mailstore
