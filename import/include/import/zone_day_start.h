#pragma once
// A Qt time zone as the contact mapping asks for it (contact::DayStart: when a date begins
// there), and the import settings of a run in that zone. The window imports in the machine's
// zone, the command-line tool in the one it is given (--time-zone), so a birthday shows on its
// date in the Outlook of the person who imports.
#include <QTimeZone>

#include "contact/day_start.h"
#include "mailstore/session_options.h"

namespace importrun {

contact::DayStart dayStartIn(const QTimeZone& zone);

// The default session options, with dates mapped in `zone`.
zentra::mailstore::SessionOptions sessionOptionsIn(const QTimeZone& zone);

}  // namespace importrun
