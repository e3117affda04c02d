#include "vcard_text_generator.h"

#include <random>

namespace zentra::bench {

namespace {

const char* const kGiven[] = {"Anna", "Jürgen", "Zoë", "Łukasz", "Søren", "José", "Mei", "Ольга", "Hiroshi",
                              "François", "Ahmed", "Élodie", "Björn", "Chloé", "Dmitri", "Aoife"};
const char* const kFamily[] = {"Berg", "Müller", "Ångström", "Żółw", "Nørgaard", "García", "王", "Иванова",
                               "山田", "Dupré", "Haddad", "Lefèvre", "Svensson", "O'Brien", "Petrov", "Kelly"};
const char* const kCity[] = {"Köln", "Zürich", "Kraków", "Malmö", "São Paulo", "Springfield", "Genève", "Århus"};
const char* const kStreet[] = {"Hauptstraße", "Main Street", "Rue de la Paix", "Calle Mayor", "Ulica Długa",
                               "Storgatan", "Via Roma", "Baker Street"};

std::string qpEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (c < 0x80 && c != '=' && c != '\n') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('=');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

}  // namespace

std::size_t generateVCards(std::string& out, std::size_t bytes, unsigned startValue) {
    std::mt19937 random(startValue);
    auto pick = [&](auto& array) { return array[random() % (sizeof(array) / sizeof(array[0]))]; };
    std::size_t cards = 0;
    std::string card;
    while (out.size() < bytes) {
        const int version = static_cast<int>(random() % 3);   // 0: 2.1, 1: 3.0, 2: 4.0
        const std::string given = pick(kGiven), family = pick(kFamily);
        const std::string number = std::to_string(100000 + random() % 900000);
        card.clear();
        card += "BEGIN:VCARD\r\n";
        card += version == 0 ? "VERSION:2.1\r\n" : version == 1 ? "VERSION:3.0\r\n" : "VERSION:4.0\r\n";
        if (version == 0) {
            card += "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + qpEncode(family) + ";" + qpEncode(given) + ";;;\r\n";
            card += "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + qpEncode(given + " " + family) + "\r\n";
            card += "TEL;HOME;VOICE:+49 221 " + number + "\r\n";
            card += "TEL;WORK;VOICE:+49 221 " + number + "-1\r\n";
            card += "TEL;CELL:+49 170 " + number + "\r\n";
            card += "EMAIL;PREF;INTERNET:" + std::to_string(cards) + "@example.org\r\n";
            card += "EMAIL;INTERNET:private" + std::to_string(cards) + "@example.net\r\n";
            card += "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;" + qpEncode(std::string(pick(kStreet)) + " 12") +
                    ";" + qpEncode(pick(kCity)) + ";;50667;Deutschland\r\n";
            card += "LABEL;HOME;ENCODING=QUOTED-PRINTABLE:" + qpEncode(std::string(pick(kStreet)) + " 12") +
                    "=0D=0A=\r\n50667 " + qpEncode(pick(kCity)) + "\r\n";
            card += "ADR;WORK:;;Industriestr. 5;Bonn;;53111;Deutschland\r\n";
            card += "ORG:Example GmbH;Vertrieb\r\nTITLE:Sales Manager\r\n";
            card += "NOTE;ENCODING=QUOTED-PRINTABLE:Met at the fair=0D=0Acall back in spring\r\n";
            card += "BDAY:19800322\r\n";
        } else {
            card += "N:" + family + ";" + given + ";;Dr.;\r\n";
            card += "FN:Dr. " + given + " " + family + "\r\n";
            card += version == 1 ? "TEL;TYPE=HOME,VOICE:+49 221 " + number + "\r\n"
                                 : "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+49-221-" + number + "\r\n";
            card += "TEL;TYPE=WORK:+49 221 " + number + "-1\r\nTEL;TYPE=CELL:+49 170 " + number + "\r\n";
            card += "item1.EMAIL;type=INTERNET;type=pref:" + std::to_string(cards) + "@example.org\r\n";
            card += "item1.X-ABLabel:_$!<Other>!$_\r\n";
            card += "EMAIL;TYPE=work:work" + std::to_string(cards) + "@example.com\r\n";
            card += "EMAIL;TYPE=home:home" + std::to_string(cards) + "@example.net\r\n";
            card += "ADR;TYPE=home:;;" + std::string(pick(kStreet)) + " 12;" + pick(kCity) + ";;50667;Deutschland\r\n";
            card += "ADR;TYPE=work:;;Industriestr. 5\\nHaus B;Bonn;NRW;53111;Deutschland\r\n";
            card += "ORG:Example GmbH\\, Köln;Vertrieb\r\nTITLE:Sales Manager\r\n";
            card += "NOTE:Met at the fair\\, call back in spring. This note is long enough to be folded by\r\n";
            card += "  writers that keep lines at 75 octets\\; it continues here.\r\n";
            card += version == 1 ? "BDAY:1980-03-22\r\n" : "BDAY:--0322\r\n";
            card += "CATEGORIES:Customers,Fair 2026\r\nURL:https://example.org/" + number + "\r\n";
            card += "UID:urn:uuid:" + number + "-" + std::to_string(cards) + "\r\nREV:20261207T081500Z\r\n";
        }
        card += "END:VCARD\r\n";
        out += card;
        ++cards;
    }
    return cards;
}

}  // namespace zentra::bench
