// The body: every NOTE, then what has no contact field but matters to the person, under a
// short heading so it reads as part of the notes.
#include "mapping_context.h"

namespace contact::detail {

void mapNotes(MappingContext& ctx) {
    std::string body;
    for (const std::string& note : ctx.card.notes()) {
        const std::string_view text = trimWhitespace(note);
        if (text.empty()) continue;   // an empty note adds no line
        if (!body.empty()) body += "\r\n";
        appendWithCrlf(body, text);
    }
    if (!ctx.details.empty()) {
        if (!body.empty()) body += "\r\n\r\n";
        body += "More contact details:\r\n";
        body += joined(ctx.details, "\r\n");
    }
    ctx.setText(mapi::PidTagBody, body);
}

}  // namespace contact::detail
