#pragma once
// The in-process components behind the two ProgIDs; the platform registry calls these.
#include <memory>

#include "mailstore/mail_client.h"
#include "mailstore/rdo.h"

namespace zentra::mailstore {

std::shared_ptr<Session> createSession();
std::shared_ptr<Application> createApplication();

}  // namespace zentra::mailstore
