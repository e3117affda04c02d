// Folders, their subfolder collections and item collections over an open store.
#include "contact_item.h"
#include "mailstore/rdo.h"
#include "pst_objects.h"
#include "zentra/error.h"

namespace zentra::mailstore::detail {
namespace {

class PstItems final : public Items {
public:
    PstItems(StoreContext context, pst::Nid folder) : context_(std::move(context)), folder_(folder) {}
    long Count() override { return static_cast<long>(context_.store->store().folder(folder_).contentCount); }
    std::shared_ptr<Item> Add(long itemType) override {
        context_.store->store();   // a detached store fails here
        if (itemType != kItemTypeContact)
            throw Error(kErrInvalidArgument, "item type " + std::to_string(itemType) + " is not supported");
        return std::make_shared<ContactItem>(context_.session, context_.store, folder_);
    }

private:
    StoreContext context_;
    pst::Nid folder_;
};

class PstFolders final : public Folders {
public:
    PstFolders(StoreContext context, pst::Nid parent) : context_(std::move(context)), parent_(parent) {}

    long Count() override { return static_cast<long>(context_.store->store().subfolders(parent_).size()); }

    std::shared_ptr<Folder> Item(long index) override {
        auto children = context_.store->store().subfolders(parent_);
        if (index < 1 || index > static_cast<long>(children.size()))
            throw Error(kErrSubscriptOutOfRange, "folder index " + std::to_string(index) + " is out of range 1.." +
                                                     std::to_string(children.size()));
        return makeFolder(context_, children[static_cast<size_t>(index - 1)].nid);
    }

    std::shared_ptr<Folder> Item(const std::string& name) override {
        pst::messaging::Store& store = context_.store->store();
        auto nid = store.findSubfolder(parent_, name);
        if (!nid)
            throw Error(kErrFolderNotFound,
                        "folder \"" + name + "\" not found in \"" + store.folder(parent_).name + "\"");
        return makeFolder(context_, *nid);
    }

    std::shared_ptr<Folder> Add(const std::string& name, long folderType) override {
        std::string containerClass = containerClassForFolderType(folderType);
        return makeFolder(context_, context_.store->createFolder(parent_, name, containerClass));
    }

private:
    StoreContext context_;
    pst::Nid parent_;
};

class PstFolder final : public Folder {
public:
    PstFolder(StoreContext context, pst::Nid nid, std::optional<std::string> nameOverride)
        : context_(std::move(context)), nid_(nid), nameOverride_(std::move(nameOverride)) {}

    std::string Name() override {
        pst::messaging::Store& store = context_.store->store();
        return nameOverride_ ? *nameOverride_ : store.folder(nid_).name;
    }
    std::string EntryID() override { return pst::messaging::toHex(context_.store->store().entryIdOf(nid_)); }
    std::string ContainerClass() override { return context_.store->store().folder(nid_).containerClass; }
    std::shared_ptr<mailstore::Folders> Folders() override {
        context_.store->store();
        return std::make_shared<PstFolders>(context_, nid_);
    }
    std::shared_ptr<mailstore::Items> Items() override {
        context_.store->store();
        return std::make_shared<PstItems>(context_, nid_);
    }

private:
    StoreContext context_;
    pst::Nid nid_;
    std::optional<std::string> nameOverride_;
};

}  // namespace

std::shared_ptr<Folder> makeFolder(StoreContext context, pst::Nid nid, std::optional<std::string> nameOverride) {
    return std::make_shared<PstFolder>(std::move(context), nid, std::move(nameOverride));
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

}  // namespace zentra::mailstore::detail
