#pragma once
// Structural checker for Unicode PST files ([MS-PST]). It reads the file on its own terms and
// reports every inconsistency it finds as a Finding with a stable code (e.g. "block.crc"), the
// file offset it concerns (when there is one) and a readable message.
//
// Errors are violations of [MS-PST]; warnings are untidiness that Outlook itself produces and
// tolerates (leaked allocation-map space, junk in reserved fields), so a clean report may carry
// warnings.
//
// Code families: header.* (HEADER/ROOT, CRCs, rgnid), page.* (every page's trailer), bt.* (NBT
// and BBT pages), block.* / ref.count / xblock.* / subnode.* (blocks, data and subnode trees,
// reference counts), space.overlap / amap.* / dlist.* (allocation), hn.* / bth.* / pc.* / tc.*
// (heap-based nodes), nbt.* / store.* / folder.* / message.* / attachment.* (store objects),
// nameid.* (name-to-ID map), compat.* (warnings only: layouts a known reader depends on).
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace pstcheck {

enum class Severity { Error, Warning };

struct Finding {
    Severity severity = Severity::Error;
    std::string code;                 // stable identifier, "<area>.<what>"
    std::optional<uint64_t> offset;   // file offset of the page or block concerned, if any
    std::string message;
};

struct Report {
    std::vector<Finding> findings;

    bool clean() const { return errorCount() == 0; }
    size_t errorCount() const;
    size_t warningCount() const;
    // True when an error (or, with warnings=true, any finding) carries this code.
    bool has(const std::string& code, bool includeWarnings = false) const;
    // "error: block.crc @0x5e00: ..." one finding per line.
    std::string toText(bool includeWarnings = true) const;
    std::string toJson() const;
};

// Thrown when the file cannot be read at all (missing, unreadable).
class IoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Report checkImage(std::span<const uint8_t> bytes);
Report checkFile(const std::string& path);  // throws IoError

}  // namespace pstcheck
