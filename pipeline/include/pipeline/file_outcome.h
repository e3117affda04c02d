#pragma once
// What importing one listed file came to, as a value: the contacts it gave, the warnings about
// it, and why it failed or was cut short. Items fill it; the import run collects one per file
// and the window, the command line and the report render them.
#include <cstddef>
#include <string>
#include <vector>

#include "contact/properties.h"

namespace pipeline {

// A problem with part of a file that did not stop its import: a card cut short, a line that
// could not be read, a value that had to be changed.
struct FileWarning {
    enum class Source { Parser, Mapping };
    Source source = Source::Mapping;
    std::size_t card = 0;        // 1-based card of the file; 0 when not tied to a card
    std::size_t line = 0;        // line in the file; 0 when not tied to one
    std::string property;        // vCard property name; empty when not tied to one
    std::string message;
};

// "card 3, line 12, TEL: text" (parts that are unknown are left out).
std::string describe(const FileWarning& warning);
FileWarning fileWarning(const contact::Warning& warning, std::size_t card);

struct FileOutcome {
    enum class Status {
        Pending,      // not imported yet
        Imported,     // every card of the file is in the store
        Failed,       // the file could not be imported; contactsStored says what reached the store
        CutShort,     // stopped on request after contactsStored of its cards
    };
    Status status = Status::Pending;
    std::string path;                  // exact bytes
    std::size_t cardsRead = 0;         // cards read so far
    bool allCardsRead = false;         // cardsRead is the file's total
    std::size_t contactsStored = 0;
    std::size_t warningCount = 0;
    // The warnings themselves, up to kKeptWarnings; an observer sees every one as it comes.
    std::vector<FileWarning> warnings;
    long errorNumber = 0;              // Failed: the error's number
    std::string reason;                // Failed: the error's description

    static constexpr std::size_t kKeptWarnings = 1000;
};

// Why a file that failed or was cut short is not (wholly) in the store: "error text" for a failed
// file, "stopped after 3 of its 10 contacts" for one cut short.
std::string describeProblem(const FileOutcome& outcome);

// Follows a file while its contacts are stored (on the thread that saves).
class ImportObserver {
public:
    virtual ~ImportObserver() = default;
    // After each contact stored; returning false stops the file there (it is then cut short).
    virtual bool contactStored(const FileOutcome& file) = 0;
    // Every warning, as it comes.
    virtual void warning(const FileOutcome& file, const FileWarning& warning) = 0;
};

}  // namespace pipeline
