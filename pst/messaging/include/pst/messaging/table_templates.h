#pragma once
// The table templates every store carries ([MS-PST] 2.4.4.4.1, 2.4.4.5.1, 2.4.4.6.1,
// 2.4.8.6.2.1, 2.4.5.3.1, 2.4.6.1.1), with the columns and the exact row layouts (offsets,
// widths, cell-existence bits) of the templates in a store written by Outlook 2016+. Every
// folder and message table is laid out like its template, as Outlook lays them out.
#include <vector>

#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"

namespace pst::messaging {

enum class TableTemplate { Hierarchy, Contents, AssocContents, SearchContents, Recipient, Attachment };

const ltp::TableLayout& templateLayout(TableTemplate which);
// An empty table with the template's layout.
ltp::Table templateTable(TableTemplate which);

std::vector<ltp::Column> hierarchyTableColumns();
std::vector<ltp::Column> contentsTableColumns();
std::vector<ltp::Column> assocContentsTableColumns();
std::vector<ltp::Column> searchContentsTableColumns();
std::vector<ltp::Column> recipientTableColumns();
std::vector<ltp::Column> attachmentTableColumns();

}  // namespace pst::messaging
