// The mail-store library's session, its store collection and stores
// (ProgID "Redemption.RDOSession").
#include <filesystem>
#include <system_error>
#include <vector>

#include "mailstore/factories.h"
#include "pst/messaging/entry_id.h"
#include "pst/messaging/property_tags.h"
#include "pst_objects.h"
#include "zentra/error.h"

namespace zentra::mailstore {
namespace detail {
namespace {

constexpr long kStoreFormatAnsi = 3;

class PstStore final : public Store {
public:
    PstStore(StoreContext context, std::shared_ptr<Profile> profile)
        : context_(std::move(context)), profile_(std::move(profile)) {}

    long long ItemsSaved() override { return context_.store->messagesSaved(); }
    long long ItemsOnDisk() override { return context_.store->messagesOnDisk(); }

    std::string EntryID() override {
        pst::messaging::Store& s = context_.store->store();
        return pst::messaging::toHex(s.entryIdOf(pst::messaging::nid::kMessageStore));
    }
    std::string DisplayName() override { return context_.store->displayName(); }
    std::string FilePath() override { return context_.store->store().path(); }
    std::shared_ptr<Folder> IPMRootFolder() override {
        return makeFolder(context_, context_.store->store().ipmSubtree());
    }
    void Remove() override {
        context_.store->store();   // removing twice fails like any call on a detached store
        // Detached even when the final commit fails (disk full): the engine refuses further
        // writes after a failed one, and the file keeps its last commit, a valid store.
        profile_->remove(context_.store);
        context_.store->detach();
    }

private:
    StoreContext context_;
    std::shared_ptr<Profile> profile_;
};

class PstStores final : public Stores {
public:
    PstStores(std::shared_ptr<pipeline::ImportSession> session, std::shared_ptr<Profile> profile)
        : session_(std::move(session)), profile_(std::move(profile)) {}

    long Count() override { return static_cast<long>(profile_->stores().size()); }

    std::shared_ptr<Store> AddPSTStore(const std::string& path, long format, const std::string& displayName) override {
        if (format == kStoreFormatAnsi)
            throw Error(kErrInvalidArgument, "ANSI personal folders files are not supported; use format 1");
        if (format != kStoreFormatDefault && format != kStoreFormatUnicode)
            throw Error(kErrInvalidArgument, "store format " + std::to_string(format) + " is not supported");
        std::error_code ec;
        if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found && !ec)
            throw Error(kErrStoreCreate, "cannot create \"" + path + "\": the file already exists");
        std::shared_ptr<pipeline::OpenStore> created;
        try {
            created = session_->createStore(path, displayName);
        } catch (const Error& e) {
            throw e.withContext("AddPSTStore");
        }
        profile_->attach(created);
        return std::make_shared<PstStore>(StoreContext{session_, created}, profile_);
    }

    std::shared_ptr<Store> GetStoreFromID(const std::string& entryId) override {
        auto bytes = pst::messaging::fromHex(entryId);
        auto parsed = bytes ? pst::messaging::parseEntryId(*bytes) : std::nullopt;
        if (!parsed) throw Error(kErrInvalidArgument, "\"" + entryId + "\" is not a store entry ID");
        for (auto& store : profile_->stores())
            if (store->store().uid() == parsed->uid) return std::make_shared<PstStore>(StoreContext{session_, store}, profile_);
        throw Error(kErrStoreDetached, "no attached store has the entry ID " + entryId);
    }

private:
    std::shared_ptr<pipeline::ImportSession> session_;
    std::shared_ptr<Profile> profile_;
};

class PstSession final : public Session {
public:
    PstSession(std::shared_ptr<Profile> profile, const SessionOptions& options)
        : profile_(std::move(profile)), import_(std::make_shared<pipeline::ImportSession>(options)) {}
    ~PstSession() override { import_->feed().stop(); }

    void Logon() override { loggedOn_ = true; }

    std::shared_ptr<mailstore::Stores> Stores() override {
        requireLogon();
        return std::make_shared<PstStores>(import_, profile_);
    }

    // The store by its display name, then the folder by its path below the store's top, through
    // the store's map of the folders made in it (a path it does not know is walked ignoring case).
    std::shared_ptr<Folder> GetFolderFromPath(const std::string& path) override {
        requireLogon();
        auto notFound = [&] { return Error(kErrFolderNotFound, "no folder at \"" + path + "\""); };
        if (path.rfind("\\\\", 0) != 0) throw notFound();
        const std::size_t nameEnd = std::min(path.find('\\', 2), path.size());
        auto store = profile_->storeNamed(path.substr(2, nameEnd - 2));
        if (!store) throw notFound();
        std::string below = nameEnd < path.size() ? path.substr(nameEnd + 1) : std::string();
        if (!below.empty() && below.back() == '\\') below.pop_back();   // one trailing backslash
        auto nid = store->folderAt(below);
        if (!nid) throw notFound();
        return makeFolder(StoreContext{import_, store}, *nid);
    }

    void ReadAhead(pipeline::SharedFileQueue queue, long format) override {
        if (format != kImportFormatVCard || !queue) {
            import_->feed().stop();
            return;
        }
        import_->feed().start(std::move(queue));
    }

    void Logoff() override {
        requireLogon();
        import_->feed().stop();
        loggedOn_ = false;
        // Stores stay attached, as in a MAPI profile; make what was written through this session
        // durable now.
        import_->commitAll();
    }

private:
    void requireLogon() const {
        if (!loggedOn_) throw Error(kErrNotLoggedOn, "the session is not logged on");
    }

    std::shared_ptr<Profile> profile_;
    std::shared_ptr<pipeline::ImportSession> import_;
    bool loggedOn_ = false;
};

}  // namespace
}  // namespace detail

std::shared_ptr<Session> createSession(std::shared_ptr<Profile> profile, const SessionOptions& options) {
    return std::make_shared<detail::PstSession>(std::move(profile), options);
}

std::shared_ptr<Session> createSession(const SessionOptions& options) {
    return createSession(std::make_shared<Profile>(), options);
}

}  // namespace zentra::mailstore
