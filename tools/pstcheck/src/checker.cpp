#include <fstream>
#include <iterator>

#include "checks.h"
#include "semantic_checks.h"

namespace pstcheck {

Report checkImage(std::span<const uint8_t> bytes) {
    Report report;
    Sink sink(report);
    Image img(bytes, sink);
    if (!checkHeader(img)) return report;
    walkBTrees(img);
    checkBlocks(img);
    checkSpace(img);
    LtpIndex ltp;
    checkLtp(img, ltp);
    checkMandatoryNodes(img, ltp);
    checkFolders(img, ltp);
    checkNameMap(img, ltp);
    checkMessages(img, ltp);
    return report;
}

Report checkFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IoError("cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw IoError("cannot read " + path);
    return checkImage(bytes);
}

}  // namespace pstcheck
