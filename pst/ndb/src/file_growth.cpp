// How the file grows. Once a store is committed, the file grows only under a header that
// counts the growth, so a process killed between commits leaves exactly the last commit:
//  * A commit that follows growth sets room aside: as many empty spans as the last interval
//    filled, and one more, committed with it. The next interval's blocks land inside the file.
//  * An interval that outgrows its room first extends the committed file the way a commit's
//    first half does: as much room again, the maps of the new spans and of every span changed
//    since the commit (so the header's free-space figure matches the AMaps on disk), and the
//    header again -- still the committed B-trees, now with a longer file whose new spans are
//    free -- then a sync. The room doubles each time within an interval (up to 64 MB at a
//    time), so this one sync of its own stays rare.
// Growing the file and counting the growth cannot be one write. The space is reserved first;
// then the file grows in one quick call and the new spans' maps and the header follow at once
// (writeMapsUnderCommittedHeader), so a kill leaves a longer file only if it lands within those
// few system calls. The sync comes after the header, not between: there it would stretch that
// moment to milliseconds. As with the commit, a machine that stops during the sync may keep
// the new header without the new spans' maps; a killed process never does.
// Before the first commit the file has no name and no header to keep: it just grows.
#include <algorithm>

#include "node_database_impl.h"

namespace pst::ndb {

uint64_t NodeDatabaseImpl::allocate(uint32_t bytes, uint32_t align) {
    // Each round adds at least one span (or throws at the size limit), and any block or page
    // fits an empty span.
    while (true) {
        if (const std::optional<uint64_t> ib = space_.allocate(bytes, align)) return *ib;
        if (committedOnce_) {
            extendCommittedFile();
        } else {
            space_.addEmptySpans(1);
            file_->truncate(space_.fileEof());
        }
    }
}

size_t NodeDatabaseImpl::roomWanted() const {
    // Room left over when the store closes stays in the file, empty: past 64 MB an interval
    // that keeps growing pays one sync per 64 MB rather than leaving as much again unused.
    constexpr size_t kMostRoom = (size_t{64} << 20) / disk::kAMapSpan;
    const size_t used = space_.spanCount() - space_.trailingEmptySpans();
    const size_t grown = used > usedSpansAtCommit_ ? used - usedSpansAtCommit_ : 0;
    return std::min(grown + 1, kMostRoom);
}

void NodeDatabaseImpl::setRoomAside() {
    const size_t empty = space_.trailingEmptySpans();
    const size_t wanted = roomWanted();
    // An interval that filled nothing new gets no room; near the size limit, what is left.
    if (wanted == 1 || wanted <= empty) return;
    space_.addEmptySpans(std::min(wanted - empty, space_.spansBelowLimit()));
}

void NodeDatabaseImpl::extendCommittedFile() {
    const uint64_t eofOnDisk = space_.fileEof();
    // Nothing fits, so there are no empty spans at the end; at least one span is added, which
    // throws kErrStoreWrite when none is left under the limit.
    space_.addEmptySpans(std::clamp<size_t>(roomWanted(), 1, std::max<size_t>(space_.spansBelowLimit(), 1)));
    // These AMaps also mark what the interval has written so far: space the committed state
    // does not use shown as used, which readers accept (see SpaceMap). Space freed since the
    // commit stays unavailable (no headerWritten()): the header still describes the committed
    // state, which may reference it.
    writeMapsUnderCommittedHeader(eofOnDisk);
    file_->sync();
}

}  // namespace pst::ndb
