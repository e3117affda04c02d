// Writes everything the parser makes of its input as plain text: each card's properties (all
// fields), warnings, nested cards and the answers of every typed accessor. Used to check that a
// change to the parser (a speed-up, say) leaves its results alone: dump before and after, diff.
// Usage: vcard_dump PATH...            (files, or folders searched for *.vcf / *.vcard)
//        vcard_dump --generated MB     (the benchmark's generated text)
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "vcard/reader.h"
#include "vcard_text_generator.h"

namespace {

std::string shown(std::string_view s) {
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else out.push_back(ch);
    }
    return out;
}

std::string digest(std::string_view s) {   // FNV-1a, enough to tell binary values apart
    unsigned long long h = 1469598103934665603ull;
    for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char text[40];
    std::snprintf(text, sizeof text, "%zu/%016llx", s.size(), h);
    return text;
}

std::string typed(const vcard::Typed& t) {
    std::string out = "[";
    for (const std::string& type : t.types) out += shown(type) + ",";
    out += "] pref=" + std::to_string(t.preference) + " label=" + shown(t.label) + " prop=" + t.property +
           " line=" + std::to_string(t.line);
    return out;
}

void dumpCard(const vcard::Card& card, const std::string& indent) {
    std::printf("%scard line=%zu complete=%d version=%s\n", indent.c_str(), card.firstLine, card.complete ? 1 : 0,
                shown(card.version()).c_str());
    for (const vcard::Property& p : card.properties) {
        std::printf("%s  P %zu group=%s name=%s", indent.c_str(), p.line, shown(p.group).c_str(), shown(p.name).c_str());
        for (const vcard::Parameter& param : p.parameters) {
            std::printf(" ;%s=", shown(param.name).c_str());
            for (const std::string& v : param.values) std::printf("<%s>", shown(v).c_str());
        }
        std::printf("\n%s    raw=%s\n", indent.c_str(), p.rawValue.size() > 200 ? digest(p.rawValue).c_str() : shown(p.rawValue).c_str());
        std::printf("%s    value=%s binary=%d bytes=%s\n", indent.c_str(),
                    p.value.size() > 200 ? digest(p.value).c_str() : shown(p.value).c_str(), p.isBinary ? 1 : 0,
                    digest(p.bytes).c_str());
        if (!p.components.empty()) {
            std::printf("%s    comps=", indent.c_str());
            for (const auto& list : p.components) {
                std::printf("{");
                for (const std::string& v : list) std::printf("<%s>", shown(v).c_str());
                std::printf("}");
            }
            std::printf("\n");
        }
        std::printf("%s    types=", indent.c_str());
        for (const std::string& t : p.types()) std::printf("<%s>", shown(t).c_str());
        std::printf(" preference=%d\n", p.preference());
    }
    for (const vcard::Warning& w : card.warnings)
        std::printf("%s  W %zu %s: %s\n", indent.c_str(), w.line, shown(w.property).c_str(), shown(w.message).c_str());
    std::printf("%s  fn=%s title=%s role=%s kind=%s class=%s uid=%s rev=%s prodid=%s defaultPostal=%d\n", indent.c_str(),
                shown(card.formattedName()).c_str(), shown(card.title()).c_str(), shown(card.role()).c_str(),
                shown(card.kind()).c_str(), shown(card.classification()).c_str(), shown(card.uid()).c_str(),
                shown(card.revision()).c_str(), shown(card.productId()).c_str(), card.defaultPostalAddress());
    if (auto n = card.name())
        std::printf("%s  N %s|%s|%s|%s|%s\n", indent.c_str(), shown(n->family).c_str(), shown(n->given).c_str(),
                    shown(n->additional).c_str(), shown(n->prefixes).c_str(), shown(n->suffixes).c_str());
    if (auto n = card.phoneticName())
        std::printf("%s  phonetic %s|%s\n", indent.c_str(), shown(n->family).c_str(), shown(n->given).c_str());
    if (auto o = card.organization()) {
        std::printf("%s  org %s", indent.c_str(), shown(o->name).c_str());
        for (const std::string& u : o->units) std::printf("|%s", shown(u).c_str());
        std::printf("\n");
    }
    for (const std::string& s : card.nicknames()) std::printf("%s  nick %s\n", indent.c_str(), shown(s).c_str());
    for (const std::string& s : card.notes()) std::printf("%s  note %s\n", indent.c_str(), shown(s).c_str());
    for (const std::string& s : card.categories()) std::printf("%s  cat %s\n", indent.c_str(), shown(s).c_str());
    for (const vcard::Email& e : vcard::byPreference(card.emails()))
        std::printf("%s  email %s %s\n", indent.c_str(), shown(e.address).c_str(), typed(e).c_str());
    for (const vcard::Phone& e : vcard::byPreference(card.phones()))
        std::printf("%s  phone %s %s\n", indent.c_str(), shown(e.number).c_str(), typed(e).c_str());
    for (const vcard::Address& a : card.addresses())
        std::printf("%s  adr %s|%s|%s|%s|%s|%s|%s label=%s only=%d %s\n", indent.c_str(), shown(a.poBox).c_str(),
                    shown(a.extended).c_str(), shown(a.street).c_str(), shown(a.locality).c_str(),
                    shown(a.region).c_str(), shown(a.postalCode).c_str(), shown(a.country).c_str(),
                    shown(a.labelText).c_str(), a.labelOnly ? 1 : 0, typed(a).c_str());
    for (const vcard::Url& u : card.urls())
        std::printf("%s  url %s %s\n", indent.c_str(), shown(u.url).c_str(), typed(u).c_str());
    for (const vcard::InstantMessaging& im : card.instantMessaging())
        std::printf("%s  im %s %s %s %s\n", indent.c_str(), shown(im.service).c_str(), shown(im.handle).c_str(),
                    shown(im.uri).c_str(), typed(im).c_str());
    for (const vcard::Related& r : card.related())
        std::printf("%s  related %s %s %s\n", indent.c_str(), shown(r.kind).c_str(), shown(r.name).c_str(),
                    shown(r.property).c_str());
    if (auto d = card.birthday()) std::printf("%s  bday %d-%d-%d\n", indent.c_str(), d->year, d->month, d->day);
    if (auto d = card.anniversary()) std::printf("%s  anniv %d-%d-%d\n", indent.c_str(), d->year, d->month, d->day);
    if (auto g = card.gender()) std::printf("%s  gender %d %s\n", indent.c_str(), g->sex, shown(g->identity).c_str());
    if (auto p = card.photo())
        std::printf("%s  photo %s %s %s\n", indent.c_str(), digest(p->bytes).c_str(), shown(p->mediaType).c_str(),
                    shown(p->url).c_str());
    if (auto g = card.geo()) std::printf("%s  geo %.6f %.6f\n", indent.c_str(), g->latitude, g->longitude);
    for (const vcard::Card& agent : card.agents) dumpCard(agent, indent + "    ");
}

void dumpReader(vcard::Reader& reader) {
    vcard::Card card;
    while (reader.next(card)) dumpCard(card, "");
    for (const vcard::Warning& w : reader.fileWarnings())
        std::printf("FW %zu %s: %s\n", w.line, shown(w.property).c_str(), shown(w.message).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--generated") {
        std::string text;
        zentra::bench::generateVCards(text, std::strtoul(argv[2], nullptr, 10) * 1000000);
        vcard::Reader reader = vcard::Reader::fromBuffer(text);
        dumpReader(reader);
        return 0;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::printf("FILE %s\n", file.string().c_str());
        try {
            vcard::Reader reader = vcard::Reader::openFile(file);
            dumpReader(reader);
        } catch (const std::exception& e) {
            std::printf("ERROR %s\n", e.what());
        }
    }
    return 0;
}
