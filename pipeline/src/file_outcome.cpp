#include "pipeline/file_outcome.h"

namespace pipeline {

std::string describe(const FileWarning& w) {
    std::string out;
    auto part = [&out](const std::string& text) {
        if (text.empty()) return;
        if (!out.empty()) out += ", ";
        out += text;
    };
    if (w.card != 0) part("card " + std::to_string(w.card));
    if (w.line != 0) part("line " + std::to_string(w.line));
    part(w.property);
    if (!out.empty()) out += ": ";
    return out + w.message;
}

FileWarning fileWarning(const contact::Warning& warning, std::size_t card) {
    FileWarning w;
    w.source = warning.source == contact::Warning::Source::Parser ? FileWarning::Source::Parser
                                                                 : FileWarning::Source::Mapping;
    w.card = card;
    w.line = warning.line;
    w.property = warning.property;
    w.message = warning.message;
    return w;
}

std::string describeProblem(const FileOutcome& o) {
    if (o.status == FileOutcome::Status::CutShort) {
        std::string text = "stopped on request after " + std::to_string(o.contactsStored);
        if (o.allCardsRead) text += " of its " + std::to_string(o.cardsRead);
        return text + (o.contactsStored == 1 ? " contact" : " contacts") + "; the rest of the file is not imported";
    }
    return o.reason;
}

}  // namespace pipeline
