#pragma once
// How the session creates store files: tests pass a failing file seam (disk full, I/O error)
// or a fixed store UID here.
#include <memory>

#include "mailstore/rdo.h"
#include "pst/messaging/store.h"

namespace zentra::mailstore {

struct SessionOptions {
    pst::messaging::StoreOptions store;
};

std::shared_ptr<Session> createSession(const SessionOptions& options);

}  // namespace zentra::mailstore
