// libpst: lspst lists the folders that hold items and one line per item; `readpst -r -tc -cv`
// writes the store's folder tree below a directory named after the store, with every contact
// of a folder as a vCard in that folder's "contacts" file. Folders readpst writes nothing for
// do not appear in its tree; their names are still in folderNames.
#include <regex>

#include "reader_common.h"

namespace zentra::readers {
namespace {

namespace fs = std::filesystem;

std::string unescapeVcard(const std::string& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            char n = v[++i];
            out += (n == 'n' || n == 'N') ? '\n' : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

// Splits on separators that are not escaped.
std::vector<std::string> splitUnescaped(const std::string& v, char sep) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            out.back() += v.substr(i, 2);
            ++i;
        } else if (v[i] == sep) {
            out.emplace_back();
        } else {
            out.back() += v[i];
        }
    }
    return out;
}

std::vector<ItemView> parseVcards(const std::string& text) {
    std::vector<std::string> lines;
    for (const auto& raw : splitLines(text)) {
        if (!raw.empty() && (raw[0] == ' ' || raw[0] == '\t') && !lines.empty()) lines.back() += raw.substr(1);
        else lines.push_back(raw);
    }
    std::vector<ItemView> cards;
    ItemView* card = nullptr;
    for (const auto& line : lines) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon), value = line.substr(colon + 1);
        std::string base = name.substr(0, name.find(';'));
        for (auto& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (base == "BEGIN") {
            cards.emplace_back();
            card = &cards.back();
            continue;
        }
        if (!card || base == "END") continue;
        auto& slot = card->fields["vcard:" + base];
        slot += (slot.empty() ? "" : "\n") + value;
        if (base == "FN") card->fields["fileUnder"] = unescapeVcard(value);
        if (base == "EMAIL" && !card->fields.count("email1EmailAddress")) card->fields["email1EmailAddress"] = unescapeVcard(value);
        if (base == "ORG") card->fields["companyName"] = unescapeVcard(splitUnescaped(value, ';')[0]);
        if (base == "TITLE") card->fields["title"] = unescapeVcard(value);
        if (base == "N") {
            auto parts = splitUnescaped(value, ';');
            card->fields["surname"] = unescapeVcard(parts[0]);
            if (parts.size() > 1) card->fields["givenName"] = unescapeVcard(parts[1]);
        }
    }
    for (auto& c : cards) c.fields["messageClass"] = "IPM.Contact";  // readpst -tc writes contacts only
    return cards;
}

}  // namespace

ReaderView readWithLibpst(const std::string& pstPathArg, const ReaderOptions& options) {
    // The readers run in a scratch directory, so a relative path would point nowhere.
    const std::string pstPath = fs::absolute(pstPathArg).string();
    ReaderView view;
    view.reader = "libpst";
    ScratchDir scratch;

    ProcessResult ls = runProcess({"lspst", pstPath}, options.timeout);
    if (!acceptRun(view, ls, "lspst")) return view;
    std::string current;
    static const std::regex folderLine("^Folder \"(.*)\"$");
    for (const auto& line : splitLines(ls.out)) {
        std::smatch m;
        if (std::regex_match(line, m, folderLine)) current = m[1];
        else if (!trim(line).empty()) view.listed[current].push_back(line);
    }

    const fs::path out = scratch.path() / "out";
    fs::create_directories(out);
    ProcessResult rp = runProcess({"readpst", "-r", "-tc", "-cv", "-o", out.string(), pstPath}, options.timeout);
    if (!acceptRun(view, rp, "readpst")) return view;
    static const std::regex processing("^Processing Folder \"(.*)\"$");
    static const std::regex summary("^\\s*\"(.*)\" - ([0-9]+) items done, ([0-9]+) items skipped\\.$");
    for (const auto& line : splitLines(rp.out)) {
        std::smatch m;
        if (std::regex_match(line, m, processing)) view.folderNames.push_back(m[1]);
        else if (std::regex_match(line, m, summary) && m[3] != "0")
            view.warnings.push_back("readpst skipped " + std::string(m[3]) + " items in \"" + std::string(m[1]) + "\"");
    }

    std::vector<fs::path> tops;
    for (const auto& e : fs::directory_iterator(out))
        if (e.is_directory()) tops.push_back(e.path());
    if (tops.size() != 1) {
        view.error = "readpst wrote " + std::to_string(tops.size()) + " store folders, expected 1";
        return view;
    }
    view.storeName = tops[0].filename().string();
    // readpst's output root stands for the IPM subtree.
    auto addFolder = [&](const fs::path& dir, const std::string& ipmPath) {
        FolderView f;
        f.ipmPath = ipmPath;
        f.underIpmSubtree = true;
        f.name = ipmPath.empty() ? std::string() : dir.filename().string();
        if (fs::exists(dir / "contacts")) f.items = parseVcards(fileText(dir / "contacts"));
        f.itemCount = f.items.size();
        view.folders.push_back(std::move(f));
    };
    addFolder(tops[0], "");
    for (const auto& e : fs::recursive_directory_iterator(tops[0]))
        if (e.is_directory()) addFolder(e.path(), fs::relative(e.path(), tops[0]).generic_string());
    view.ok = true;
    return view;
}

}  // namespace zentra::readers
