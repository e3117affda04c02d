// Life cycle, the node table and NID allocation of the node database.
#include <cstdio>
#include <string>

#include "node_database_impl.h"
#include "write_behind_file.h"
#include "zentra/error.h"

namespace pst::ndb {

using zentra::Error;

std::unique_ptr<NodeDatabase> NodeDatabase::create(const std::string& path, const Options& options) {
    std::unique_ptr<FileSeam> file = options.openFile ? options.openFile(path) : createPosixFile(path);
    if (!file) throw Error(zentra::kErrStoreCreate, "cannot create " + path);
    // Should setting up fail, the file goes with the half-made database: it holds no store yet
    // and so leaves nothing behind (see FileSeam).
    return std::make_unique<NodeDatabaseImpl>(path, options, std::move(file));
}

NodeDatabaseImpl::NodeDatabaseImpl(std::string path, Options options, std::unique_ptr<FileSeam> file)
    : path_(std::move(path)), options_(std::move(options)), space_(options_.maxFileSize) {
    if (options_.writeBehindBytes != 0) {
        auto behind = std::make_unique<WriteBehindFile>(std::move(file), options_.writeBehindBytes);
        writeBehind_ = behind.get();
        file_ = std::move(behind);
    } else {
        file_ = std::move(file);
    }
    auto readPage = [this](const disk::BREF& page) { return readIndexPage(page); };
    nbt_.keepLeavesInMemory(options_.indexLeavesInMemory, readPage);
    bbt_.keepLeavesInMemory(options_.indexLeavesInMemory, readPage);
    header_.bCryptMethod = options_.encoding == Encoding::Permute ? disk::kCryptPermute : disk::kCryptNone;
    header_.rgbFM.fill(0xFF);
    header_.rgbFP.fill(0xFF);
    // Starting nidIndex values of a blank file ([MS-PST] 2.2.2.6).
    header_.rgnid.fill(0x400);
    header_.rgnid[kNidTypeSearchFolder] = 0x4000;
    header_.rgnid[kNidTypeNormalMessage] = 0x10000;
    header_.rgnid[kNidTypeAssocMessage] = 0x8000;
    header_.bidNextB = disk::kBidStep;
    header_.bidNextP = 1;
    try {
        file_->truncate(space_.fileEof());
    } catch (const Error& e) {
        throw Error(e.number() == zentra::kErrDiskFull ? zentra::kErrDiskFull : zentra::kErrStoreCreate,
                    e.description());
    }
}

disk::PageBytes NodeDatabaseImpl::readIndexPage(const disk::BREF& page) {
    if (!file_) throw Error(zentra::kErrStoreDetached, "the store " + path_ + " is closed");
    disk::PageBytes bytes{};
    writeOutPending();
    file_->readAt(page.ib, bytes);
    return bytes;
}

void NodeDatabaseImpl::writeOutPending() {
    if (writeBehind_ && writeBehind_->pending()) guarded("while writing to", [&] { writeBehind_->flush(); });
}

void NodeDatabaseImpl::checkUsable() const {
    if (closed_) throw Error(zentra::kErrStoreDetached, "the store " + path_ + " is closed");
    if (broken_)
        throw Error(zentra::kErrStoreWrite, "the store " + path_ + " cannot be used after an earlier write failure");
}

void NodeDatabaseImpl::putNode(Nid nid, Bid data, Bid subnodes, Nid parent) {
    guarded("while storing a node in", [&] {
        if (nid == 0) throw Error(zentra::kErrInvalidArgument, "NID 0 is not a node");
        if (data != 0) requireBlock(data, "data tree");
        if (subnodes != 0) requireBlock(subnodes, "subnode tree");
        const NbtRecord* old = nbt_.find(nid);
        const std::optional<NbtRecord> previous = old ? std::optional<NbtRecord>(*old) : std::nullopt;
        nbt_.insert(NbtRecord{nid, data, subnodes, parent});
        uint32_t& counter = header_.rgnid[nidType(nid)];
        if (nidIndex(nid) > counter) counter = nidIndex(nid);
        // The node now holds the new references; give back the ones it held before.
        if (previous) {
            if (previous->bidData) releaseRef(previous->bidData);
            if (previous->bidSub) releaseRef(previous->bidSub);
        }
    });
}

void NodeDatabaseImpl::removeNode(Nid nid) {
    guarded("while removing a node from", [&] {
        const NbtRecord* found = nbt_.find(nid);
        if (!found) throw Error(zentra::kErrInvalidArgument, "no node with NID " + std::to_string(nid));
        const NbtRecord r = *found;
        nbt_.erase(nid);
        if (r.bidData) releaseRef(r.bidData);
        if (r.bidSub) releaseRef(r.bidSub);
    });
}

std::optional<NodeInfo> NodeDatabaseImpl::findNode(Nid nid) const {
    checkUsable();
    const NbtRecord* r = nbt_.find(nid);
    if (!r) return std::nullopt;
    return NodeInfo{r->nid, r->bidData, r->bidSub, r->nidParent};
}

std::optional<BlockInfo> NodeDatabaseImpl::findBlock(Bid bid) const {
    const BbtRecord* r = bbt_.find(bid);
    if (!r) return std::nullopt;
    return BlockInfo{r->bid, r->ib, r->cb, static_cast<uint16_t>(refCount(*r))};
}

Nid NodeDatabaseImpl::allocateNid(NidType type) {
    checkUsable();
    if (static_cast<uint32_t>(type) >= header_.rgnid.size())
        throw Error(zentra::kErrInvalidArgument, "NID type " + std::to_string(type) + " does not exist");
    uint32_t& counter = header_.rgnid[type];
    if (counter >= (1u << 27) - 1)
        throw Error(zentra::kErrOverflow, "no NID of type " + std::to_string(type) + " is left in " + path_);
    return makeNid(type, ++counter);
}

uint64_t NodeDatabaseImpl::fileSize() const { return space_.fileEof(); }

NodeDatabaseImpl::~NodeDatabaseImpl() {
    // A database that never committed never held a store: its file does not stay behind.
    if (!committedOnce_ && file_) file_->abandon();
}

void NodeDatabaseImpl::close() {
    if (closed_) return;
    commitFinal();
    syncFinal();
    // Space freed before that commit still shows as used in its AMaps; one more commit, with
    // nothing else to write, makes them exact.
    if (!space_.dirtySpans().empty()) {
        commitFinal();
        syncFinal();
    }
    file_.reset();
    closed_ = true;
}

}  // namespace pst::ndb
