#include "card_assembler.h"

#include <algorithm>

#include "content_line.h"
#include "property_decoder.h"
#include "utf8.h"
#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::startsWithIgnoringAsciiCase;
using zentra::trimSpaceTab;

using namespace std::string_view_literals;

namespace {

// Names that mark text outside BEGIN/END as a card's content rather than junk.
bool isCardPropertyName(const std::string& n) {
    static constexpr std::string_view names[] = {"FN", "N", "TEL", "EMAIL", "ADR", "ORG", "NOTE", "TITLE",
                                                 "URL", "BDAY", "NICKNAME", "UID", "PHOTO", "LABEL", "CATEGORIES",
                                                 "VERSION"};
    for (const std::string_view name : names)
        if (n == name) return true;
    return false;
}

// Text, as opposed to binary data: no control characters but tab (and the line feed an
// Android address continuation leaves). Decides only for lines outside BEGIN/END.
bool looksLikeText(std::string_view line) {
    for (const char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return false;
    }
    return true;
}

bool isAsciiName(std::string_view name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string nestedTooDeep(int maxDepth) {
    return "cards nested more than " + std::to_string(maxDepth) + " levels deep are skipped";
}

bool isBeginCard(const Property& p) {
    return p.name == "BEGIN"sv && equalsIgnoringAsciiCase(trimSpaceTab(p.rawValue), "VCARD");
}

}  // namespace

CardAssembler::CardAssembler(std::unique_ptr<ByteSource> source, const ReaderOptions& options, int level)
    : source_(std::move(source)),
      options_(options),
      level_(level),
      decoding_(*source_, options.chunkBytes),
      physical_(decoding_, options.maxLineBytes),
      logical_(physical_, options.maxLineBytes),
      charsets_(options.fallbackCharset) {}

void CardAssembler::restart(std::unique_ptr<ByteSource> source) {
    source_ = std::move(source);
    decoding_.restart(*source_);
    physical_.restart();
    logical_.restart();
    stack_.clear();
    ready_.clear();
    readyHead_ = 0;
    nestedDone_.clear();
    fileWarnings_.clear();
    skipDepth_ = 0;
    binarySeen_ = false;
    finished_ = false;
}

bool CardAssembler::next(Card& out) {
    if (readyHead_ == ready_.size()) {
        ready_.clear();
        readyHead_ = 0;
    }
    pool_.setHandedBack(&out);
    while (ready_.empty() && !finished_) {
        if (logical_.next(line_)) process(line_);
        else finish();
    }
    pool_.setHandedBack(nullptr);
    if (readyHead_ == ready_.size()) return false;
    pool_.recycle(out);
    out = std::move(ready_[readyHead_++]);
    return true;
}

// Text outside cards is not bounded by any card, so its warnings are capped.
void CardAssembler::fileWarning(Warning warning) {
    constexpr std::size_t kMaxFileWarnings = 1000;
    if (fileWarnings_.size() < kMaxFileWarnings) fileWarnings_.push_back(std::move(warning));
    else if (fileWarnings_.size() == kMaxFileWarnings)
        fileWarnings_.push_back(Warning{warning.line, "", "further problems outside cards not listed"});
}

// Lines that are not properties leave only a warning: capped per card, so a card of junk
// lines costs no more memory than its properties would.
void CardAssembler::warnHere(std::size_t line, const std::string& property, std::string message) {
    if (stack_.empty()) {
        fileWarning(Warning{line, property, std::move(message)});
        return;
    }
    constexpr std::size_t kMaxLineWarnings = 1000;
    Frame& frame = stack_.back();
    ++frame.lineWarnings;
    if (frame.lineWarnings <= kMaxLineWarnings)
        frame.card.warnings.push_back(Warning{line, property, std::move(message)});
    else if (frame.lineWarnings == kMaxLineWarnings + 1)
        frame.card.warnings.push_back(Warning{line, "", "further problems in this card not listed"});
}

void CardAssembler::process(LogicalLine& line) {
    if (line.tooLong) {
        warnHere(line.number, "", "line longer than " + std::to_string(options_.maxLineBytes) +
                                      " bytes; property dropped");
        return;
    }
    // Outside BEGIN/END only text can become a card: binary data (a damaged copy, an image
    // appended to the file) ends a card that had no BEGIN, and nothing after it but BEGIN:VCARD
    // starts one. Lines inside a card are not looked at here: the scan would cost every line.
    bool mayStartCard = false;
    if (skipDepth_ == 0 && (stack_.empty() || stack_.back().implicit)) {
        if (!looksLikeText(line.text)) {
            binarySeen_ = true;
            if (!stack_.empty()) close(false);
        } else {
            mayStartCard = stack_.empty() && !binarySeen_ && isValidUtf8(line.text);
        }
    }
    // Most lines become properties of the card being read: parse straight into its list instead
    // of into a temporary moved there afterwards. Lines that do not stay are taken off again.
    std::vector<Property>* target = stack_.empty() || skipDepth_ > 0 ? nullptr : &stack_.back().card.properties;
    Property loose;
    Property& p = target ? pool_.append(*target) : loose;
    const auto drop = [&] {
        if (target) target->pop_back();
    };
    std::string problem;
    if (!parseContentLine(line.text, line.number, line.colon, p, problem)) {
        drop();
        if (skipDepth_ == 0) warnHere(line.number, "", problem);
        return;
    }
    if (!problem.empty() && skipDepth_ == 0) warnHere(line.number, p.name, std::move(problem));
    const bool isBegin = isBeginCard(p);
    const bool isEnd = p.name == "END"sv && equalsIgnoringAsciiCase(trimSpaceTab(p.rawValue), "VCARD");
    if (skipDepth_ > 0) {
        if (isBegin) ++skipDepth_;
        else if (isEnd) --skipDepth_;
        return;
    }
    const std::size_t at = p.line;
    if (isBegin) {
        drop();
        if (!stack_.empty() && stack_.back().implicit) close(false);
        if (!stack_.empty() && levelOfNewCard() > options_.maxAgentDepth) {
            warnHere(at, "", nestedTooDeep(options_.maxAgentDepth));
            skipDepth_ = 1;
            return;
        }
        begin(at, false);
        return;
    }
    if (isEnd) {
        drop();
        if (stack_.empty()) fileWarning(Warning{at, "END", "END:VCARD without BEGIN:VCARD; ignored"});
        else close(true);
        return;
    }
    if (p.name == "END"sv || p.name == "BEGIN"sv) {
        std::string message = p.name + ":" + std::string(trimSpaceTab(p.rawValue)) + " is not a vCard boundary; ignored";
        const std::string name = p.name;
        drop();
        warnHere(at, name, std::move(message));
        return;
    }
    if (!target) {
        if (!mayStartCard || !isCardPropertyName(p.name) || !isAsciiName(p.group)) {
            fileWarning(Warning{at, p.name, "text outside a card ignored"});
            return;
        }
        begin(at, true);
        stack_.back().card.warnings.push_back(Warning{at, p.name, "properties without BEGIN:VCARD read as a card"});
    }
    // 2.1 inline agent on one line: AGENT:BEGIN:VCARD, the card's lines follow.
    const bool inlineAgent = p.name == "AGENT"sv && equalsIgnoringAsciiCase(trimSpaceTab(p.rawValue), "BEGIN:VCARD");
    if (inlineAgent) p.rawValue.clear();
    if (!target) stack_.back().card.properties.push_back(std::move(p));
    if (!inlineAgent) return;
    if (levelOfNewCard() > options_.maxAgentDepth) {
        warnHere(line.number, "AGENT", nestedTooDeep(options_.maxAgentDepth));
        skipDepth_ = 1;
        return;
    }
    begin(line.number, false);
    stack_.back().agent = true;
}

void CardAssembler::begin(std::size_t line, bool implicit) {
    if (!implicit) binarySeen_ = false;
    Frame frame;
    frame.card.properties = pool_.newList();
    frame.implicit = implicit;
    frame.card.firstLine = line;
    if (!stack_.empty() && !implicit) {
        // A card inside a card: it belongs to an AGENT property written just before it;
        // otherwise it is a card of its own (some phones nest cards without AGENT).
        const Card& outer = stack_.back().card;
        if (!outer.properties.empty() && outer.properties.back().name == "AGENT"sv &&
            trimSpaceTab(outer.properties.back().rawValue).empty()) {
            frame.agent = true;
        } else {
            stack_.back().card.warnings.push_back(
                Warning{line, "BEGIN", "card nested inside a card without AGENT; read as a separate card"});
        }
    }
    stack_.push_back(std::move(frame));
}

void CardAssembler::close(bool complete) {
    Frame frame = std::move(stack_.back());
    stack_.pop_back();
    frame.card.complete = complete;
    finalize(frame.card, levelOfNewCard());
    if (frame.agent && !stack_.empty()) {
        stack_.back().card.agents.push_back(std::move(frame.card));
    } else if (!stack_.empty()) {
        nestedDone_.push_back(std::move(frame.card));
    } else {
        ready_.push_back(std::move(frame.card));
        for (Card& nested : nestedDone_) ready_.push_back(std::move(nested));
        nestedDone_.clear();
    }
}

void CardAssembler::finish() {
    finished_ = true;
    if (!decoding_.error().empty()) warnHere(0, "", decoding_.error());
    while (!stack_.empty()) {
        Frame& top = stack_.back();
        if (!top.implicit)
            top.card.warnings.push_back(
                Warning{0, "END", "END:VCARD missing; card read up to the end of the file"});
        close(false);
    }
}

void CardAssembler::finalize(Card& card, int level) {
    const std::string version = card.version();
    DecodeContext context;
    context.charsets = &charsets_;
    context.scratch = &decodeScratch_;
    context.unicodeFile = decoding_.encoding() != FileEncoding::Bytes;
    context.v21 = !version.empty() && version[0] == '2';
    context.rules = context.v21 ? EscapeRules::V21 : EscapeRules::V30;
    if (version.empty())
        card.warnings.push_back(Warning{card.firstLine, "VERSION", "card has no VERSION; read as 3.0/4.0"});
    bool legacyNoted = false;
    for (Property& p : card.properties) {
        const std::size_t legacyBefore = charsets_.legacyDecodes();
        decodeProperty(p, context, card.warnings);
        // The assumed charset may be wrong (the user can name another): say so once per card.
        if (!legacyNoted && charsets_.legacyDecodes() != legacyBefore) {
            legacyNoted = true;
            card.warnings.push_back(Warning{p.line, p.name, "8-bit text without CHARSET that is not UTF-8; read as " +
                                                                charsets_.legacyCharset()});
        }
        if (p.name == "AGENT"sv && startsWithIgnoringAsciiCase(trimSpaceTab(p.value), "BEGIN:VCARD"))
            readAgentText(card, p, level);
    }
    if (!card.first("FN") && !card.first("N"))
        card.warnings.push_back(Warning{card.firstLine, "", "card has neither FN nor N"});
}

// 3.0 writes the agent's card as an escaped text value: read it as a file of its own.
void CardAssembler::readAgentText(Card& card, const Property& agent, int level) {
    if (level + 1 > options_.maxAgentDepth) {
        card.warnings.push_back(Warning{agent.line, "AGENT", nestedTooDeep(options_.maxAgentDepth)});
        return;
    }
    CardAssembler inner(std::make_unique<MemorySource>(agent.value), options_, level + 1);
    Card nested;
    while (inner.next(nested)) card.agents.push_back(std::move(nested));
}

}  // namespace vcard
