#pragma once
// Checks at the level of the message store: mandatory nodes, parent links, folder tables
// against the nodes they list, and the name-to-ID map.
#include "ltp.h"

namespace pstcheck {

void checkMandatoryNodes(Image& img, const LtpIndex& ltp);
void checkFolders(Image& img, const LtpIndex& ltp);
void checkNameMap(Image& img, const LtpIndex& ltp);
void checkMessages(Image& img, const LtpIndex& ltp);

}  // namespace pstcheck
