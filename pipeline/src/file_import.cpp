#include "pipeline/file_import.h"

#include "zentra/error.h"
#include "zentra/path_list.h"

namespace pipeline {

FileImport::FileImport(std::shared_ptr<ImportSession> session, std::shared_ptr<OpenStore> store, pst::Nid folder)
    : session_(std::move(session)), store_(std::move(store)), folder_(folder) {}

void FileImport::fail(const zentra::Error& error) {
    outcome_.status = FileOutcome::Status::Failed;
    outcome_.errorNumber = error.number();
    outcome_.reason = error.description();
}

void FileImport::open(const SourceFile& file) {
    outcome_ = FileOutcome{};
    outcome_.path = file.path;
    cards_.reset();
    first_.reset();
    try {
        cards_ = session_->feed().take(file);
        if (!cards_) cards_ = readHere(file, session_->settings().mapping);
        auto first = std::make_unique<contact::ContactItem>();
        cards_->next(*first);   // false only after a card: the end of an empty file throws
        first_ = std::move(first);
        outcome_.cardsRead = cards_->cardsRead();
    } catch (const zentra::Error& e) {
        cards_.reset();
        fail(e);
        throw;
    }
}

void FileImport::noteWarning(const FileWarning& warning, ImportObserver* observer) {
    ++outcome_.warningCount;
    if (observer) observer->warning(outcome_, warning);
    if (outcome_.warnings.size() < FileOutcome::kKeptWarnings) outcome_.warnings.push_back(warning);
}

void FileImport::storeOne(contact::ContactItem&& contact, ImportObserver* observer) {
    const std::size_t card = outcome_.contactsStored + 1;
    std::vector<contact::Warning> warnings = std::move(contact.warnings);
    store_->addContact(folder_, std::move(contact));
    ++outcome_.contactsStored;
    for (const contact::Warning& w : warnings) noteWarning(fileWarning(w, card), observer);
}

void FileImport::store(ImportObserver* observer) {
    if (!first_) return;
    try {
        storeOne(std::move(*first_), observer);
        first_.reset();
        bool goOn = !observer || observer->contactStored(outcome_);
        contact::ContactItem next;
        while (goOn && cards_->next(next)) {
            outcome_.cardsRead = cards_->cardsRead();
            storeOne(std::move(next), observer);
            goOn = !observer || observer->contactStored(outcome_);
        }
        // Asked to stop after the last contact, the file may still be complete: one more look
        // tells (the card it finds, if any, is not stored).
        if (!goOn) goOn = !cards_->next(next);
        outcome_.cardsRead = cards_->cardsRead();
        outcome_.allCardsRead = cards_->allRead();
        if (!goOn) {
            outcome_.status = FileOutcome::Status::CutShort;
        } else {
            for (const FileWarning& w : cards_->fileWarnings()) noteWarning(w, observer);
            outcome_.status = FileOutcome::Status::Imported;
        }
    } catch (const zentra::Error& e) {
        first_.reset();
        outcome_.cardsRead = cards_->cardsRead();
        const std::string where = "contact " + std::to_string(outcome_.contactsStored + 1) + " of " +
                                  zentra::readablePath(outcome_.path);
        // Errors of reading name the file already; errors of storing get told which contact.
        const zentra::Error located = e.number() == zentra::kErrImportFailed ? e : e.withContext("saving " + where);
        fail(located);
        cards_.reset();
        throw located;
    }
    cards_.reset();
}

}  // namespace pipeline
