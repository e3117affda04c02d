#include "pipeline/open_store.h"

#include "zentra/error.h"

namespace pipeline {

std::shared_ptr<OpenStore> OpenStore::create(const std::string& path, const std::string& displayName,
                                             const pst::messaging::StoreOptions& options) {
    return std::shared_ptr<OpenStore>(new OpenStore(pst::messaging::Store::create(path, displayName, options)));
}

OpenStore::OpenStore(std::unique_ptr<pst::messaging::Store> store)
    : store_(std::move(store)), displayName_(store_->displayName()) {
    folderByPath_.emplace("", store_->ipmSubtree());
    pathOfFolder_.emplace(store_->ipmSubtree(), "");
}

pst::messaging::Store& OpenStore::store() {
    if (!attached()) throw zentra::Error(zentra::kErrStoreDetached, "the store \"" + displayName_ + "\" is no longer attached");
    return *store_;
}

void OpenStore::detach() {
    if (!attached()) return;
    auto keepCounts = [this] {
        savedAtClose_ = static_cast<long long>(store_->messageCount());
        onDiskAtClose_ = static_cast<long long>(store_->committedMessageCount());
    };
    try {
        groups_.writeAll(*store_);
        store_->close();
    } catch (const zentra::Error&) {
        keepCounts();
        store_.reset();   // closes the file; what reached the disk is the last commit
        throw;
    }
    keepCounts();
}

pst::Nid OpenStore::createFolder(pst::Nid parent, const std::string& name, const std::string& containerClass) {
    const pst::Nid nid = store().createFolder(parent, name, containerClass);
    if (auto it = pathOfFolder_.find(parent); it != pathOfFolder_.end()) {
        std::string path = it->second.empty() ? name : it->second + '\\' + name;
        folderByPath_.emplace(path, nid);
        pathOfFolder_.emplace(nid, std::move(path));
    }
    return nid;
}

std::optional<pst::Nid> OpenStore::folderAt(const std::string& path) {
    pst::messaging::Store& s = store();
    if (auto it = folderByPath_.find(path); it != folderByPath_.end()) return it->second;
    pst::Nid current = s.ipmSubtree();
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const std::size_t end = std::min(path.find('\\', begin), path.size());
        auto next = s.findSubfolder(current, std::string_view(path).substr(begin, end - begin));
        if (!next) return std::nullopt;
        current = *next;
        begin = end + 1;
    }
    return current;
}

pst::Nid OpenStore::addContact(pst::Nid folder, contact::ContactItem&& contact) {
    pst::messaging::Store& s = store();
    if (contact.isGroup) {
        groups_.hold(folder, std::move(contact));
        return 0;
    }
    const std::string uid = std::move(contact.uid);
    toStoredContact(std::move(contact), s.nameToIdMap(), staged_);
    const pst::Nid nid = s.addMessageFrom(folder, staged_.properties, staged_.attachments);
    if (!uid.empty()) groups_.noteContact(uid, nid);
    return nid;
}

}  // namespace pipeline
