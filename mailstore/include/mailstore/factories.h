#pragma once
// The in-process components behind the two ProgIDs, over one profile; the registry calls these.
#include <memory>

#include "mailstore/mail_client.h"
#include "mailstore/profile.h"
#include "mailstore/rdo.h"
#include "mailstore/session_options.h"

namespace zentra::mailstore {

std::shared_ptr<Session> createSession(std::shared_ptr<Profile> profile, const SessionOptions& options);
std::shared_ptr<Application> createApplication(std::shared_ptr<Profile> profile);

}  // namespace zentra::mailstore
