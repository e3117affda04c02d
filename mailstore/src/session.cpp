// The mail-store library's session, its store collection and stores
// (ProgID "Redemption.RDOSession").
#include <filesystem>
#include <system_error>
#include <vector>

#include "mailstore/factories.h"
#include "mailstore/import_read_ahead.h"
#include "mailstore/store_item_counts.h"
#include "mailstore/session_options.h"
#include "pst/messaging/property_tags.h"
#include "pst_objects.h"
#include "read_ahead.h"
#include "zentra/error.h"

namespace zentra::mailstore {
namespace detail {
namespace {

constexpr long kStoreFormatAnsi = 3;

class PstStore final : public Store, public StoreItemCounts {
public:
    explicit PstStore(std::shared_ptr<AttachedStore> store) : store_(std::move(store)) {}

    long long ItemsSaved() override { return static_cast<long long>(store_->store().messageCount()); }
    long long ItemsOnDisk() override { return static_cast<long long>(store_->store().committedMessageCount()); }

    std::string EntryID() override {
        pst::messaging::Store& s = store_->store();
        return pst::messaging::toHex(s.entryIdOf(pst::messaging::nid::kMessageStore));
    }
    std::string DisplayName() override { return store_->displayName(); }
    std::string FilePath() override { return store_->store().path(); }
    std::shared_ptr<Folder> IPMRootFolder() override {
        return makeFolder(store_, store_->store().ipmSubtree());
    }
    void Remove() override {
        store_->store();   // removing twice fails like any call on a detached store
        // Detached even when the final commit fails (disk full): the engine refuses further
        // writes after a failed one, and the file keeps its last commit, a valid store.
        Profile::instance().remove(store_);
        store_->detach();
    }

private:
    std::shared_ptr<AttachedStore> store_;
};

class PstStores final : public Stores {
public:
    PstStores(pst::messaging::StoreOptions options, std::shared_ptr<std::vector<std::weak_ptr<AttachedStore>>> attachedHere)
        : options_(std::move(options)), attachedHere_(std::move(attachedHere)) {}

    long Count() override { return static_cast<long>(Profile::instance().stores().size()); }

    std::shared_ptr<Store> AddPSTStore(const std::string& path, long format, const std::string& displayName) override {
        if (format == kStoreFormatAnsi)
            throw Error(kErrInvalidArgument, "ANSI personal folders files are not supported; use format 1");
        if (format != kStoreFormatDefault && format != kStoreFormatUnicode)
            throw Error(kErrInvalidArgument, "store format " + std::to_string(format) + " is not supported");
        std::error_code ec;
        if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found && !ec)
            throw Error(kErrStoreCreate, "cannot create \"" + path + "\": the file already exists");
        std::unique_ptr<pst::messaging::Store> created;
        try {
            created = pst::messaging::Store::create(path, displayName, options_);
        } catch (const Error& e) {
            throw e.withContext("AddPSTStore");
        }
        auto attached = std::make_shared<AttachedStore>(std::move(created));
        Profile::instance().attach(attached);
        attachedHere_->push_back(attached);
        return std::make_shared<PstStore>(attached);
    }

    std::shared_ptr<Store> GetStoreFromID(const std::string& entryId) override {
        auto bytes = pst::messaging::fromHex(entryId);
        auto parsed = bytes ? pst::messaging::parseEntryId(*bytes) : std::nullopt;
        if (!parsed) throw Error(kErrInvalidArgument, "\"" + entryId + "\" is not a store entry ID");
        for (auto& store : Profile::instance().stores())
            if (store->attached() && store->store().uid() == parsed->uid) return std::make_shared<PstStore>(store);
        throw Error(kErrStoreDetached, "no attached store has the entry ID " + entryId);
    }

private:
    pst::messaging::StoreOptions options_;
    std::shared_ptr<std::vector<std::weak_ptr<AttachedStore>>> attachedHere_;
};

std::vector<std::string> splitAtBackslash(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '\\')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

class PstSession final : public Session, public ImportReadAhead {
public:
    explicit PstSession(SessionOptions options) : options_(std::move(options)) {}
    ~PstSession() override {
        if (readingAhead_) importReadAhead().stop();
    }

    void Logon() override { loggedOn_ = true; }

    std::shared_ptr<mailstore::Stores> Stores() override {
        requireLogon();
        return std::make_shared<PstStores>(options_.store, attachedHere_);
    }

    std::shared_ptr<Folder> GetFolderFromPath(const std::string& path) override {
        requireLogon();
        auto notFound = [&] { return Error(kErrFolderNotFound, "no folder at \"" + path + "\""); };
        if (path.rfind("\\\\", 0) != 0) throw notFound();
        std::vector<std::string> parts = splitAtBackslash(path.substr(2));
        if (parts.size() > 1 && parts.back().empty()) parts.pop_back();   // one trailing backslash
        auto store = findStoreByName(parts.front());
        if (!store) throw notFound();
        pst::messaging::Store& s = store->store();
        pst::Nid current = s.ipmSubtree();
        for (size_t i = 1; i < parts.size(); ++i) {
            auto next = s.findSubfolder(current, parts[i]);
            if (!next) throw notFound();
            current = *next;
        }
        return makeFolder(store, current);
    }

    void ReadAhead(std::vector<std::string> paths, long format) override {
        if (format != kImportFormatVCard || paths.empty()) {
            importReadAhead().stop();
            readingAhead_ = false;
            return;
        }
        importReadAhead().start(std::move(paths), ContactItemLimits{});
        readingAhead_ = true;
    }

    void Logoff() override {
        requireLogon();
        importReadAhead().stop();
        readingAhead_ = false;
        loggedOn_ = false;
        // Stores stay in the profile, as in MAPI; make what was written through this session
        // durable now.
        for (auto& weak : *attachedHere_)
            if (auto store = weak.lock(); store && store->attached()) store->store().commit();
        attachedHere_->clear();
    }

private:
    void requireLogon() const {
        if (!loggedOn_) throw Error(kErrNotLoggedOn, "the session is not logged on");
    }

    SessionOptions options_;
    bool loggedOn_ = false;
    bool readingAhead_ = false;   // this session started the reading thread
    std::shared_ptr<std::vector<std::weak_ptr<AttachedStore>>> attachedHere_ =
        std::make_shared<std::vector<std::weak_ptr<AttachedStore>>>();
};

}  // namespace
}  // namespace detail

std::shared_ptr<Session> createSession() { return createSession(SessionOptions{}); }

std::shared_ptr<Session> createSession(const SessionOptions& options) {
    return std::make_shared<detail::PstSession>(options);
}

}  // namespace zentra::mailstore
