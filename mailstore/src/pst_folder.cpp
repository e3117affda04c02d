// Folders, their subfolder collections and item collections over pst::messaging::Store.
#include "contact_item.h"
#include "mailstore/rdo.h"
#include "pst/messaging/case_folding.h"
#include "pst_objects.h"
#include "zentra/error.h"

namespace zentra::mailstore::detail {
namespace {

class PstItems final : public Items {
public:
    PstItems(std::shared_ptr<AttachedStore> store, pst::Nid folder) : store_(std::move(store)), folder_(folder) {}
    long Count() override { return static_cast<long>(store_->store().folder(folder_).contentCount); }
    std::shared_ptr<Item> Add(long itemType) override {
        store_->store();   // a detached store fails here
        if (itemType != kItemTypeContact)
            throw Error(kErrInvalidArgument, "item type " + std::to_string(itemType) + " is not supported");
        return makeContactItem(store_, folder_);
    }

private:
    std::shared_ptr<AttachedStore> store_;
    pst::Nid folder_;
};

class PstFolders final : public Folders {
public:
    PstFolders(std::shared_ptr<AttachedStore> store, pst::Nid parent) : store_(std::move(store)), parent_(parent) {}

    long Count() override { return static_cast<long>(store_->store().subfolders(parent_).size()); }

    std::shared_ptr<Folder> Item(long index) override {
        auto children = store_->store().subfolders(parent_);
        if (index < 1 || index > static_cast<long>(children.size()))
            throw Error(kErrSubscriptOutOfRange, "folder index " + std::to_string(index) + " is out of range 1.." +
                                                     std::to_string(children.size()));
        return makeFolder(store_, children[static_cast<size_t>(index - 1)].nid);
    }

    std::shared_ptr<Folder> Item(const std::string& name) override {
        pst::messaging::Store& store = store_->store();
        auto nid = store.findSubfolder(parent_, name);
        if (!nid)
            throw Error(kErrFolderNotFound,
                        "folder \"" + name + "\" not found in \"" + store.folder(parent_).name + "\"");
        return makeFolder(store_, *nid);
    }

    std::shared_ptr<Folder> Add(const std::string& name, long folderType) override {
        std::string containerClass = containerClassForFolderType(folderType);
        return makeFolder(store_, store_->store().createFolder(parent_, name, containerClass));
    }

private:
    std::shared_ptr<AttachedStore> store_;
    pst::Nid parent_;
};

class PstFolder final : public Folder {
public:
    PstFolder(std::shared_ptr<AttachedStore> store, pst::Nid nid, std::optional<std::string> nameOverride)
        : store_(std::move(store)), nid_(nid), nameOverride_(std::move(nameOverride)) {}

    std::string Name() override {
        pst::messaging::Store& store = store_->store();
        return nameOverride_ ? *nameOverride_ : store.folder(nid_).name;
    }
    std::string EntryID() override { return pst::messaging::toHex(store_->store().entryIdOf(nid_)); }
    std::string ContainerClass() override { return store_->store().folder(nid_).containerClass; }
    std::shared_ptr<mailstore::Folders> Folders() override {
        store_->store();
        return std::make_shared<PstFolders>(store_, nid_);
    }
    std::shared_ptr<mailstore::Items> Items() override {
        store_->store();
        return std::make_shared<PstItems>(store_, nid_);
    }

private:
    std::shared_ptr<AttachedStore> store_;
    pst::Nid nid_;
    std::optional<std::string> nameOverride_;
};

}  // namespace

std::shared_ptr<Folder> makeFolder(std::shared_ptr<AttachedStore> store, pst::Nid nid,
                                   std::optional<std::string> nameOverride) {
    return std::make_shared<PstFolder>(std::move(store), nid, std::move(nameOverride));
}

std::string containerClassForFolderType(long folderType) {
    switch (folderType) {
    case 3: case 4: case 5: case 6: case 16: return "IPF.Note";   // deleted, outbox, sent, inbox, drafts
    case 9: return "IPF.Appointment";
    case kFolderTypeContacts: return "IPF.Contact";
    case 11: return "IPF.Journal";
    case 12: return "IPF.StickyNote";
    case 13: return "IPF.Task";
    default:
        throw Error(kErrInvalidArgument, "folder type " + std::to_string(folderType) + " is not supported");
    }
}

std::shared_ptr<AttachedStore> findStoreByName(const std::string& displayName) {
    for (auto& store : Profile::instance().stores())
        if (store->attached() && pst::messaging::sameIgnoringCase(store->displayName(), displayName)) return store;
    return nullptr;
}

}  // namespace zentra::mailstore::detail
