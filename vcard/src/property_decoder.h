#pragma once
// Turns a property's raw value into text or bytes once the card's version is known: transfer
// encoding, charset, escapes, structured components.
#include <string>
#include <vector>

#include "charset.h"
#include "text_escapes.h"
#include "vcard/card.h"

namespace vcard {

struct DecodeContext {
    CharsetDecoder* charsets = nullptr;
    EscapeRules rules = EscapeRules::V30;
    bool v21 = false;
    bool unicodeFile = false;   // the file was UTF-16: its text is UTF-8 already
    std::string* scratch = nullptr;   // reused working space; when null a local string is used
};

void decodeProperty(Property& property, const DecodeContext& context, std::vector<Warning>& warnings);

}  // namespace vcard
