#pragma once
// The contacts of one vCard file in file order, each card parsed, mapped and staged exactly once.
// Either read on the calling thread as they are asked for (readHere), or handed over by the
// read-ahead (FileFeed::take), whose thread reads them while the caller stores the ones before.
#include <cstddef>
#include <memory>
#include <vector>

#include "contact/mapper.h"
#include "pipeline/file_outcome.h"
#include "pipeline/source_file.h"
#include "pipeline/stored_contact.h"

namespace pipeline {

class FileCards {
public:
    virtual ~FileCards() = default;
    // The next contact, waiting for the reading thread if need be; false after the last one.
    // Throws zentra::Error when the file cannot be read: it cannot be opened, holds no card
    // ("no vCard found in ..."), or changed while it was being read. Contacts handed out before
    // the error stay valid.
    virtual bool next(contact::ContactItem& out) = 0;
    virtual std::size_t cardsRead() const = 0;
    // True once the last card has been read (cardsRead() is then the file's total).
    virtual bool allRead() const = 0;
    // Problems of the file not tied to a card (text outside the cards, read errors); complete
    // once next() has returned false.
    virtual std::vector<FileWarning> fileWarnings() const = 0;
};

// Opens the file on the calling thread (throws zentra::Error when it cannot) and reads it as
// next() asks.
std::unique_ptr<FileCards> readHere(const SourceFile& file, const contact::MapOptions& options);

}  // namespace pipeline
