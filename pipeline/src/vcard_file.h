#pragma once
// One vCard file opened once and read through that one descriptor, card by card: the cards of
// the file as it was when it was opened, never a mix of two versions. A small file is read whole
// by one call (open, fstat, read, close: the least a file can cost); a larger one is read as its
// cards are parsed, and checked at its end for changes. The exact path is opened;
// only when no file has that name is the path without leading and trailing spaces tried (names
// typed or pasted with stray blanks), so "t.vcf" and "t.vcf " stay two files.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "contact/mapper.h"
#include "pipeline/file_outcome.h"
#include "pipeline/source_file.h"
#include "pipeline/stored_contact.h"
#include "vcard/reader.h"

namespace pipeline::detail {

// What a thread that reads file after file keeps from one to the next: the reader of files read
// whole, the card it fills and the bytes it reads, so that their storage serves every file.
struct ReadingState {
    std::optional<contact::MapOptions> options;   // the thread's options, renamed for each file read whole
    std::optional<vcard::Reader> wholeFiles;
    vcard::Card card;
    std::string bytes;
    std::vector<vcard::Card> turn;   // the cards parsed in one turn on a file shared with another thread
};

class VcardFile {
public:
    // Throws zentra::Error naming the path when the file cannot be opened or is not a regular file.
    // `state` (may be null) is used for this file and kept for the next one read with the same
    // options; it serves one file at a time.
    VcardFile(const SourceFile& file, const contact::MapOptions& options, ReadingState* state = nullptr);
    ~VcardFile();
    VcardFile(const VcardFile&) = delete;
    VcardFile& operator=(const VcardFile&) = delete;

    // The next card, mapped and staged; false after the last. At the end it throws
    // kErrImportFailed when the file held no card, or when it changed while it was read.
    bool next(contact::ContactItem& out);
    // The two halves of next(), for threads that share one file: the next card parsed into `card`
    // (one thread at a time), and a parsed card mapped (any number of threads at once).
    bool nextCard(vcard::Card& card);
    void map(const vcard::Card& card, contact::ContactItem& out) const;
    std::size_t cards() const { return cards_; }
    std::uint64_t sizeAtOpen() const { return sizeAtOpen_; }
    bool streams() const { return stream_.has_value(); }   // not read whole: read as it is parsed
    bool ended() const { return ended_; }
    std::vector<FileWarning> fileWarnings() const;
    const std::string& shownPath() const { return shownPath_; }

private:
    void checkUnchanged();

    vcard::Reader& reader() { return stream_ ? *stream_ : *state_.wholeFiles; }
    const vcard::Reader& reader() const { return stream_ ? *stream_ : *state_.wholeFiles; }

    ReadingState ownState_;
    ReadingState& state_;
    int fd_ = -1;                      // closed once the file is read whole
    std::string shownPath_;            // readable form, for messages
    std::uint64_t sizeAtOpen_ = 0;
    struct timespec modifiedAtOpen_ {};
    // A file read whole is mapped before the next one is opened, with the thread's options; a
    // file read as it is parsed may be mapped by another thread meanwhile and has its own.
    std::optional<contact::MapOptions> ownOptions_;
    const contact::MapOptions* options_ = nullptr;
    std::optional<vcard::Reader> stream_;   // a file not read whole, read through fd_
    std::size_t cards_ = 0;
    bool ended_ = false;
};

}  // namespace pipeline::detail
