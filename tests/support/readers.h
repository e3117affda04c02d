#pragma once
// The independent PST readers, run on a file and reduced to one common view, so tests can
// check that what the project writes reads back the same everywhere:
//   libpst  — lspst and `readpst -r -tc -cv` (folders with contacts, and their vCards)
//   libpff  — pffinfo and `pffexport -m all -f all -d -t` (the folder tree, Contact.txt,
//             ItemValues.txt); any "Unable"/"mismatch" line it prints makes the view not ok
//   pypff   — libpff's Python binding under /usr/bin/python3 (tree, raw properties, the
//             decoded name-to-ID map)
//   pst-extractor — the npm reader under node (tree, contact getters); skipped when it is not
//             installed (ZENTRA_READERS_DIR, default <source>/build/readers/node_modules)
// Every reader runs under a timeout; a reader that fails, crashes or hangs gives ok == false
// with its own message in `error`. Exit codes are never trusted alone: readpst and pffexport
// return 0 while dropping items.
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zentra::readers {

struct ItemView {
    // Key fields as text, under the same names for every reader where it shows them:
    // messageClass, subject, displayName, givenName, surname, fileUnder, email1EmailAddress,
    // email1DisplayName, companyName, title. libpst adds the vCard lines as "vcard:<NAME>";
    // libpff adds its <Kind>.txt lines as "txt:<label>"; pst-extractor adds "kind", the class
    // it chose for the item (PSTContact, PSTMessage ...).
    std::map<std::string, std::string> fields;
    // Raw properties (pypff, pffexport): "0x3001001f" -> hex bytes. Named properties are also
    // listed under their name: pypff "{GUID}/0x8083" (or "{GUID}/name"), pffexport "named:0x8083".
    std::map<std::string, std::string> props;

    std::string field(const std::string& key) const {
        auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    }
};

struct FolderView {
    std::string path;     // display names from the root folder down, "Top of Personal Folders/Users/ann"
                          // (libpst knows only ipmPath and leaves this empty)
    std::string ipmPath;  // relative to the IPM subtree: "Users/ann"; "" for the subtree itself
    bool underIpmSubtree = false;
    std::string name;
    std::optional<std::string> containerClass;  // PidTagContainerClass where the reader shows it
    std::optional<long> contentCount;           // the folder's PidTagContentCount where shown
    size_t itemCount = 0;                       // items the reader actually enumerated
    std::vector<ItemView> items;
};

struct NamedPropView {
    uint16_t npid = 0;
    std::string guid;              // "{00062004-0000-0000-C000-000000000046}"
    std::optional<uint32_t> lid;   // numeric name
    std::string name;              // string name
};

struct ReaderView {
    std::string reader;           // "libpst", "libpff", "pypff", "pst-extractor"
    bool ok = false;
    bool skipped = false;         // the reader is not installed; error says why
    std::string error;
    std::string storeName;        // the store's display name (libpst: its output folder; libpff: not shown)
    std::vector<FolderView> folders;
    std::vector<std::string> warnings;            // e.g. readpst's skipped items, pffexport orphans
    std::vector<std::string> folderNames;         // libpst: every folder readpst processed, in order
    std::map<std::string, std::vector<std::string>> listed;  // libpst: lspst's item lines per folder name
    std::map<std::string, std::string> info;      // libpff: pffinfo's "label: value" lines
    std::vector<NamedPropView> namedProps;        // pypff: the decoded name-to-ID map
    std::string output;                           // what the reader printed, for failure messages

    // The folder at this path below the IPM subtree ("" for the subtree itself), or null.
    const FolderView* folderAt(const std::string& ipmPath) const;
    // Paths (below the IPM subtree) of every folder this reader shows there, sorted.
    std::vector<std::string> ipmPaths() const;
};

struct ReaderOptions {
    // Small test stores read in well under 5 s; only a reader stuck in a loop gets near this.
    std::chrono::seconds timeout{60};
    // pffexport also carves items out of unallocated space (-m all rather than -m items). That
    // scans every free byte: a store with gigabytes free takes minutes, so its tests turn it off.
    bool carveUnallocated = true;
};

ReaderView readWithLibpst(const std::string& pstPath, const ReaderOptions& options = {});
ReaderView readWithLibpff(const std::string& pstPath, const ReaderOptions& options = {});
ReaderView readWithPypff(const std::string& pstPath, const ReaderOptions& options = {});
ReaderView readWithPstExtractor(const std::string& pstPath, const ReaderOptions& options = {});
std::vector<ReaderView> readWithAll(const std::string& pstPath, const ReaderOptions& options = {});

// Runs a program (argv[0] looked up on PATH) under `timeout`, with stdout and stderr captured;
// with mergeOutput both go to `out` in the order they were written.
struct ProcessResult {
    int exitCode = -1;
    bool timedOut = false;
    std::string out, err;
};
ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::seconds timeout,
                         const std::string& workingDir = {}, bool mergeOutput = false);

}  // namespace zentra::readers
