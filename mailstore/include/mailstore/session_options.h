#pragma once
// How a session writes and reads: its stores' commit policy and file seam (tests pass a failing
// one, or a fixed store UID), the contact mapping's options and the read-ahead's window.
#include <memory>

#include "mailstore/profile.h"
#include "mailstore/rdo.h"
#include "pipeline/import_session.h"

namespace zentra::mailstore {

using SessionOptions = pipeline::ImportSettings;

// A session of its own profile, for callers that need no mail client beside it (tests,
// benchmarks); its stores are detached when the session and everything it handed out are gone.
std::shared_ptr<Session> createSession(const SessionOptions& options = {});

}  // namespace zentra::mailstore
