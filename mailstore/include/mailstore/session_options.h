#pragma once
// How the session creates store files: tests pass a failing file seam (disk full, I/O error)
// or a fixed store UID here.
#include <memory>

#include "mailstore/rdo.h"
#include "pst/messaging/store.h"

namespace zentra::mailstore {

// A long import commits every 1,000 items or every 2 seconds, whichever comes first, so a kill
// loses at most that much work; Remove and Logoff commit too.
inline pst::messaging::StoreOptions periodicallyCommittingStore() {
    pst::messaging::StoreOptions options;
    options.commitEveryMessages = 1000;
    options.commitInterval = std::chrono::seconds(2);
    return options;
}

struct SessionOptions {
    pst::messaging::StoreOptions store = periodicallyCommittingStore();
};

std::shared_ptr<Session> createSession(const SessionOptions& options);

}  // namespace zentra::mailstore
