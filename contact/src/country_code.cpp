// The 249 officially assigned ISO 3166-1 alpha-2 codes, sorted, two letters each.
#include "country_code.h"

#include <algorithm>

namespace contact::detail {

namespace {

constexpr std::string_view kAssigned =
    "ADAEAFAGAIALAMAOAQARASATAUAWAXAZBABBBDBEBFBGBHBIBJBLBMBNBOBQBRBSBTBVBWBYBZCACCCDCFCGCHCICKCLCM"
    "CNCOCRCUCVCWCXCYCZDEDJDKDMDODZECEEEGEHERESETFIFJFKFMFOFRGAGBGDGEGFGGGHGIGLGMGNGPGQGRGSGTGUGWGY"
    "HKHMHNHRHTHUIDIEILIMINIOIQIRISITJEJMJOJPKEKGKHKIKMKNKPKRKWKYKZLALBLCLILKLRLSLTLULVLYMAMCMDME"
    "MFMGMHMKMLMMMNMOMPMQMRMSMTMUMVMWMXMYMZNANCNENFNGNINLNONPNRNUNZOMPAPEPFPGPHPKPLPMPNPRPSPTPWPY"
    "QARERORSRURWSASBSCSDSESGSHSISJSKSLSMSNSOSRSSSTSVSXSYSZTCTDTFTGTHTJTKTLTMTNTOTRTTTVTWTZUAUGUM"
    "USUYUZVAVCVEVGVIVNVUWFWSYEYTZAZMZW";

}  // namespace

std::string isoCountryCode(std::string_view country) {
    while (!country.empty() && (country.front() == ' ' || country.front() == '\t')) country.remove_prefix(1);
    while (!country.empty() && (country.back() == ' ' || country.back() == '\t')) country.remove_suffix(1);
    if (country.size() != 2) return {};
    std::string code;
    for (char c : country) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') return {};
        code += c;
    }
    // Binary search over the two-letter entries.
    std::size_t low = 0, high = kAssigned.size() / 2;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        const std::string_view entry = kAssigned.substr(mid * 2, 2);
        if (entry == code) return code;
        if (entry < code) low = mid + 1;
        else high = mid;
    }
    return {};
}

}  // namespace contact::detail
