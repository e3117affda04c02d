// The body: every NOTE, then what has no contact field but matters to the person, under a
// short heading so it reads as part of the notes.
#include "mapping_context.h"

namespace contact::detail {

void mapNotes(MappingContext& ctx) {
    std::vector<std::string> notes;
    for (const std::string& note : ctx.card.notes()) notes.push_back(withCrlf(trimmed(note)));
    std::string body = joined(notes, "\r\n");
    if (!ctx.details.empty()) {
        if (!body.empty()) body += "\r\n\r\n";
        body += "More contact details:\r\n";
        body += joined(ctx.details, "\r\n");
    }
    ctx.setText(tag::kBody, std::move(body));
}

}  // namespace contact::detail
