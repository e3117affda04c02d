#pragma once
// Importing one vCard file into a folder of a store: open() takes the file from the read-ahead
// by its identity (or reads it here), store() writes its contacts one after another as they are
// read, and outcome() says what came of it. A contact item of the mail-store components is one
// of these; so is every file of an import run.
//
// Contacts are staged where the file is read (the read-ahead's thread, usually) and only
// resolved against the store's name map and written here. A file larger than the read-ahead's
// budget streams: memory stays bounded however many cards the file holds.
#include <memory>

#include "pipeline/file_cards.h"
#include "pipeline/file_outcome.h"
#include "pipeline/import_session.h"
#include "pipeline/open_store.h"
#include "pipeline/source_file.h"
#include "zentra/error.h"

namespace pipeline {

class FileImport {
public:
    FileImport(std::shared_ptr<ImportSession> session, std::shared_ptr<OpenStore> store, pst::Nid folder);

    // Reads the file's first contact. Throws zentra::Error when the file cannot be opened or
    // yields no contact; the outcome then says Failed with that error.
    void open(const SourceFile& file);
    bool opened() const { return cards_ != nullptr || first_ != nullptr; }

    // Writes every contact of the opened file, in file order, telling `observer` (may be null)
    // after each. When the observer asks to stop, the file is cut short there. Throws the
    // error of a contact that could not be stored or of a file that could not be read to its end;
    // the contacts stored before it stay, and the outcome counts them.
    void store(ImportObserver* observer);

    const FileOutcome& outcome() const { return outcome_; }

private:
    void storeOne(contact::ContactItem&& contact, ImportObserver* observer);
    void fail(const zentra::Error& error);
    void noteWarning(const FileWarning& warning, ImportObserver* observer);

    std::shared_ptr<ImportSession> session_;
    std::shared_ptr<OpenStore> store_;
    pst::Nid folder_;
    std::unique_ptr<FileCards> cards_;
    std::unique_ptr<contact::ContactItem> first_;   // read by open(), stored first by store()
    FileOutcome outcome_;
};

}  // namespace pipeline
