#pragma once
// Column sets of the table templates every store carries ([MS-PST] 2.4.4.4.1, 2.4.4.5.1,
// 2.4.4.6.1, 2.4.8.6.2.1, 2.4.5.3.1, 2.4.6.1.1). The lists are those of a store written by
// Outlook 2016+, which include a few columns [MS-PST] leaves optional.
#include <vector>

#include "pst/ltp/ltp.h"

namespace pst::messaging {

std::vector<ltp::Column> hierarchyTableColumns();
std::vector<ltp::Column> contentsTableColumns();
std::vector<ltp::Column> assocContentsTableColumns();
std::vector<ltp::Column> searchContentsTableColumns();
std::vector<ltp::Column> recipientTableColumns();
std::vector<ltp::Column> attachmentTableColumns();

}  // namespace pst::messaging
