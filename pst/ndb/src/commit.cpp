// The commit: makes the pending state a new, complete store on disk.
//
// Invariants (each one keeps a readable store on disk if we stop half-way):
//  1. New blocks and B-tree pages only ever go to space that is free in every state a header
//     on disk may describe; nothing such a header reaches is overwritten.
//  2. Space released stays unavailable until the header that no longer references it is
//     durable: one commit writes that header, the sync of the next commit (or of close())
//     makes it durable, and only then is the space reused (SpaceMap::synced).
//  3. The AMaps written before the header mark everything either state uses (see SpaceMap),
//     so at every moment the AMaps on disk are right for the header on disk: no window in
//     which they must be flagged invalid.
//  4. Order: blocks (written earlier) and new B-tree pages, AMap/PMap/FMap/DList pages ->
//     the header again for the committed B-trees with the new maps' figures -> fsync -> header
//     with the new B-trees, fresh CRCs, fAMapValid = 2 and dwUnique + 1. One sync per commit:
//     it makes this commit's blocks and pages durable before the header that reaches them is
//     written, and the previous commit's header with them. A process killed after commit()
//     returns leaves the new state; a machine that stops before the next sync may come back
//     with the previous commit, whole.
//  5. Only dirty B-tree paths and the AMaps of changed spans are rewritten, so a commit costs
//     O(changes), not O(file).
//  6. The file on disk is longer than the header on disk says only within the few system
//     calls that grow it (file_growth.cpp): a commit that follows growth sets room aside for
//     the next interval and commits it, and an interval that outgrows it extends the committed
//     file first. The room reaches the file after everything inside the old end, right before
//     the header that counts it. close() sets no room aside.
#include <algorithm>
#include <string>

#include "node_database_impl.h"
#include "zentra/error.h"

namespace pst::ndb {

using zentra::Error;
using namespace pst::disk;

void NodeDatabaseImpl::commit() { commitImpl(true); }

void NodeDatabaseImpl::commitFinal() { commitImpl(false); }

void NodeDatabaseImpl::syncFinal() {
    guarded("while committing", [&] {
        file_->sync();
        space_.synced();
    });
}

void NodeDatabaseImpl::commitImpl(bool keepRoom) {
    guarded("while committing", [&] {
        applyRefChanges();
        PageSink sink;
        sink.allocatePage = [&] { return allocate(kPageSize, kPageSize); };
        sink.nextPageBid = [&] { return header_.bidNextP++; };
        sink.writePage = [&](uint64_t ib, const PageBytes& page) { file_->writeAt(ib, page); };
        sink.retirePage = [&](uint64_t ib) { space_.free(ib, kPageSize); };
        const BREF nbtRoot = nbt_.commit(sink);
        const BREF bbtRoot = bbt_.commit(sink);
        const uint64_t eofBefore = space_.fileEof();
        if (keepRoom) setRoomAside();
        writeMapsUnderCommittedHeader(eofBefore);
        file_->sync();
        space_.synced();
        writeHeader(nbtRoot, bbtRoot);
        if (writeBehind_) writeBehind_->flush();   // in the file, not held back, when commit() returns
        space_.headerWritten();
        usedSpansAtCommit_ = space_.spanCount() - space_.trailingEmptySpans();
        // The first commit makes the file a valid store: only now, once its header is durable
        // too, does it take its name, so a kill before this leaves no file under that name.
        if (!committedOnce_) {
            file_->sync();
            file_->publish();
        }
        committedOnce_ = true;
    });
}

void NodeDatabaseImpl::writeMapsUnderCommittedHeader(uint64_t eofOnDisk) {
    // Spans added since the file last grew reach it only right before the header that counts
    // them, so the file is longer than the header on disk says only for the few writes in
    // between: the blocks, pages and maps inside the file as it is go out first, then the file
    // grows, and the new spans' maps and the header follow at once.
    const std::vector<size_t> dirty = space_.dirtySpans();
    const size_t spansOnDisk = (eofOnDisk - kFirstAMapOffset) / kAMapSpan;
    const auto firstNew = std::lower_bound(dirty.begin(), dirty.end(), spansOnDisk);
    writeMaps({dirty.begin(), firstNew});
    if (firstNew != dirty.end()) {
        if (writeBehind_) writeBehind_->flush();
        file_->truncate(space_.fileEof());
        writeMaps({firstNew, dirty.end()});
    }
    space_.mapsWritten();
    if (writeBehind_) writeBehind_->flush();
    // The maps just written mark more space used than the header on disk counts as free.
    // Until the new header lands, the committed B-trees go with a header that has the maps'
    // own figures, so a process killed during the sync leaves a consistent file.
    if (header_.root.BREFNBT.ib != 0) writeHeader(header_.root.BREFNBT, header_.root.BREFBBT);
}

// The spans' AMaps (PMaps and FPMaps the first time), then the FMaps that cover them.
void NodeDatabaseImpl::writeMaps(std::span<const size_t> dirty) {
    std::vector<uint64_t> fmapsToWrite;
    for (size_t span : dirty) {
        MAPPAGE amap;
        amap.rgbMapBits = space_.amapBits(span);
        PageBytes page{};
        amap.serializeBody(page);
        const uint64_t ib = amapOffset(span);
        sealPage(page, kPtypeAMap, ib, ib);
        file_->writeAt(ib, page);

        if (space_.spanNeverWritten(span)) {
            // PMaps and FPMaps are deprecated; like current Outlook we mark every page as taken
            // (and so every PMap as full), so no old client allocates from them. Their content
            // never changes.
            if (spanHasPMap(span)) writeFullMapPage(ib + kPageSize, kPtypePMap);
            if (spanHasFPMap(span)) writeFullMapPage(ib + kFPMapOffsetInSpan, kPtypeFPMap);
        }
        if (auto fmap = SpaceMap::fmapOffsetFor(span); fmap && (fmapsToWrite.empty() || fmapsToWrite.back() != *fmap))
            fmapsToWrite.push_back(*fmap);
    }
    for (uint64_t fib : fmapsToWrite) {
        const size_t firstSpan = (fib - kFMapOffsetInSpan - kFirstAMapOffset) / kAMapSpan;
        MAPPAGE fmap;
        for (size_t i = 0; i < kAMapsPerFMap && firstSpan + i < space_.spanCount(); ++i)
            fmap.rgbMapBits[i] = space_.longestFreeRun(firstSpan + i);
        PageBytes p{};
        fmap.serializeBody(p);
        sealPage(p, kPtypeFMap, fib, fib);
        file_->writeAt(fib, p);
    }
    if (!dlistOnDisk_) {
        // An empty density list, as current Outlook writes it; readers then fall back to the AMaps.
        DLISTPAGE dlist;
        PageBytes p{};
        dlist.serializeBody(p);
        sealPage(p, kPtypeDL, kDListOffset, header_.bidNextP++);
        file_->writeAt(kDListOffset, p);
        dlistOnDisk_ = true;
    }
}

void NodeDatabaseImpl::writeFullMapPage(uint64_t ib, uint8_t ptype) {
    MAPPAGE map;
    map.rgbMapBits.fill(0xFF);
    PageBytes page{};
    map.serializeBody(page);
    sealPage(page, ptype, ib, ib);
    file_->writeAt(ib, page);
}

void NodeDatabaseImpl::writeHeader(const BREF& nbt, const BREF& bbt) {
    HEADER h = header_;
    ++h.dwUnique;
    h.root.ibFileEof = space_.fileEof();
    h.root.ibAMapLast = amapOffset(space_.spanCount() - 1);
    h.root.cbAMapFree = space_.cbAMapFree();
    h.root.cbPMapFree = 0;
    h.root.BREFNBT = nbt;
    h.root.BREFBBT = bbt;
    h.root.fAMapValid = kAMapValid2;
    std::array<uint8_t, HEADER::kSize> bytes{};
    h.serialize(bytes);
    sealHeader(bytes);
    file_->writeAt(0, bytes);
    header_.dwUnique = h.dwUnique;
    header_.root = h.root;
}

}  // namespace pst::ndb
