// libpff's command-line tools: pffinfo for the file summary, and pffexport, whose export
// directory mirrors the folder tree (below the unnamed root folder). Each folder directory
// holds ItemValues.txt (the folder's properties); each item directory (Contact00002 ...) holds
// <Kind>.txt with the key fields and ItemValues.txt with every property as a hex dump.
#include <regex>
#include <set>

#include "pstcheck/text.h"
#include "reader_common.h"

namespace zentra::readers {
namespace {

namespace fs = std::filesystem;

struct Property {
    uint32_t id = 0, type = 0;
    std::optional<uint32_t> mapsTo;
    std::vector<uint8_t> data;
};

std::vector<Property> parseItemValues(const std::string& text) {
    std::vector<Property> props;
    bool inValue = false;
    for (const auto& line : splitLines(text)) {
        if (startsWith(line, "Entry type:")) {
            props.emplace_back();
            props.back().id = static_cast<uint32_t>(std::stoul(trim(line.substr(11)), nullptr, 16));
            inValue = false;
        } else if (props.empty()) {
            continue;
        } else if (startsWith(line, "Value type:")) {
            props.back().type = static_cast<uint32_t>(std::stoul(trim(line.substr(11)), nullptr, 16));
        } else if (startsWith(line, "Maps to entry type:")) {
            props.back().mapsTo = static_cast<uint32_t>(std::stoul(trim(line.substr(19)), nullptr, 16));
        } else if (startsWith(line, "Value:")) {
            inValue = true;
        } else if (inValue && startsWith(line, "0x") && line.size() > 12) {
            // "0x00000000: 43 00 6f 00 ...  61 00 ...   C.o.n.t." — hex in columns 12..59.
            std::string hex = line.substr(12, 48);
            for (size_t i = 0; i + 1 < hex.size(); ++i) {
                if (std::isxdigit(static_cast<unsigned char>(hex[i])) && std::isxdigit(static_cast<unsigned char>(hex[i + 1]))) {
                    props.back().data.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
                    ++i;
                }
            }
        } else if (trim(line).empty()) {
            inValue = false;
        }
    }
    return props;
}

std::string utf16Text(const std::vector<uint8_t>& d) {
    std::u16string s;
    for (size_t i = 0; i + 1 < d.size(); i += 2) s += static_cast<char16_t>(d[i] | (d[i + 1] << 8));
    return pstcheck::toUtf8(s);
}

std::string hexOf(const std::vector<uint8_t>& d) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : d) { out += digits[b >> 4]; out += digits[b & 15]; }
    return out;
}

std::string tagKey(uint32_t id, uint32_t type) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04x%04x", id & 0xFFFF, type & 0xFFFF);
    return buf;
}

const Property* find(const std::vector<Property>& props, uint32_t id) {
    for (const auto& p : props)
        if (p.id == id) return &p;
    return nullptr;
}

bool isItemDir(const fs::path& dir) {
    static const std::regex itemName("^[A-Za-z]+[0-9]{5}$");
    if (!std::regex_match(dir.filename().string(), itemName)) return false;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".txt" && e.path().filename() != "ItemValues.txt") return true;
    return false;
}

ItemView readItem(const fs::path& dir) {
    static const std::map<std::string, std::string> labels = {
        {"File under", "fileUnder"}, {"Given name", "givenName"}, {"Surname", "surname"},
        {"Email address 1", "email1EmailAddress"}, {"Display name", "displayName"}, {"Subject", "subject"},
        {"Company name", "companyName"}, {"Title", "title"}};
    ItemView item;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().extension() != ".txt" || e.path().filename() == "ItemValues.txt") continue;
        for (const auto& line : splitLines(fileText(e.path()))) {
            size_t colon = line.find(':');
            if (colon == std::string::npos || line.empty() || line[0] == '\t') continue;
            std::string label = line.substr(0, colon), value = trim(line.substr(colon + 1));
            item.fields["txt:" + label] = value;
            if (auto it = labels.find(label); it != labels.end() && !item.fields.count(it->second)) item.fields[it->second] = value;
        }
    }
    for (const auto& p : parseItemValues(fileText(dir / "ItemValues.txt"))) {
        item.props[tagKey(p.id, p.type)] = hexOf(p.data);
        if (p.mapsTo) item.props[std::string("named:") + tagKey(*p.mapsTo, 0).substr(0, 6)] = hexOf(p.data);
        if (p.id == 0x001A && p.type == 0x1F) item.fields["messageClass"] = utf16Text(p.data);
    }
    return item;
}

void readFolder(ReaderView& view, const fs::path& dir, const std::string& parentPath) {
    std::vector<fs::path> subdirs;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_directory()) subdirs.push_back(e.path());
    std::sort(subdirs.begin(), subdirs.end());
    for (const auto& sub : subdirs) {
        if (isItemDir(sub)) continue;
        auto props = parseItemValues(fileText(sub / "ItemValues.txt"));
        FolderView f;
        const Property* name = find(props, 0x3001);
        f.name = name && name->type == 0x1F ? utf16Text(name->data) : sub.filename().string();
        f.path = parentPath.empty() ? f.name : parentPath + "/" + f.name;
        if (const Property* cc = find(props, 0x3613); cc && cc->type == 0x1F) f.containerClass = utf16Text(cc->data);
        if (const Property* n = find(props, 0x3602); n && n->data.size() >= 4)
            f.contentCount = static_cast<long>(n->data[0] | (n->data[1] << 8) | (n->data[2] << 16) | (static_cast<uint32_t>(n->data[3]) << 24));
        for (const auto& e : fs::directory_iterator(sub))
            if (e.is_directory() && isItemDir(e.path())) f.items.push_back(readItem(e.path()));
        f.itemCount = f.items.size();
        const std::string path = f.path;
        view.folders.push_back(std::move(f));
        readFolder(view, sub, path);
    }
}

}  // namespace

ReaderView readWithLibpff(const std::string& pstPathArg, const ReaderOptions& options) {
    // The readers run in a scratch directory, so a relative path would point nowhere.
    const std::string pstPath = fs::absolute(pstPathArg).string();
    ReaderView view;
    view.reader = "libpff";
    ScratchDir scratch;

    ProcessResult info = runProcess({"pffinfo", pstPath}, options.timeout);
    if (!acceptRun(view, info, "pffinfo")) return view;
    for (const auto& line : splitLines(info.out)) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && !line.empty() && line[0] == '\t')
            view.info[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }

    const fs::path target = scratch.path() / "out";
    const char* mode = options.carveUnallocated ? "all" : "items";
    ProcessResult ex = runProcess({"pffexport", "-m", mode, "-f", "all", "-d", "-t", target.string(), pstPath}, options.timeout,
                                  scratch.path().string(), true);
    if (!acceptRun(view, ex, "pffexport")) return view;
    // pffexport exits 0 even when items fail; its complaints are the real verdict. Complaints
    // while it carves unallocated space ("recovered") or exports orphans are about data the
    // tree no longer references, so they are kept as warnings; so are those of its scan for
    // such data, which runs before the export.
    std::vector<std::string> complaints;
    bool liveTree = false;
    for (const auto& line : splitLines(ex.out)) {
        if (startsWith(line, "Exporting items")) liveTree = true;
        if (startsWith(line, "Exporting recovered items") || startsWith(line, "Exporting orphan items")) liveTree = false;
        std::string lower = line;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("unable") == std::string::npos && lower.find("mismatch") == std::string::npos) continue;
        if (liveTree) complaints.push_back(trim(line));
        else view.warnings.push_back(trim(line));
    }

    const fs::path exportDir = scratch.path() / "out.export";
    if (!fs::is_directory(exportDir)) {
        view.error = "pffexport wrote no export directory";
        return view;
    }
    readFolder(view, exportDir, "");
    std::string subtree;
    for (const auto& f : view.folders)
        if (f.path.find('/') == std::string::npos && isIpmSubtreeName(f.name)) subtree = f.path;
    if (subtree.empty())
        for (const auto& f : view.folders)
            if (f.name == "Deleted Items" && f.path.find('/') == f.path.rfind('/') && f.path.find('/') != std::string::npos)
                subtree = f.path.substr(0, f.path.find('/'));
    if (!subtree.empty()) assignIpmPaths(view, subtree);

    for (const char* extra : {"out.orphans", "out.recovered"}) {
        fs::path p = scratch.path() / extra;
        if (!fs::is_directory(p)) continue;
        size_t n = std::distance(fs::directory_iterator(p), fs::directory_iterator{});
        if (n) view.warnings.push_back("pffexport put " + std::to_string(n) + " entries in " + extra);
    }
    if (!complaints.empty()) {
        view.error = "pffexport: ";
        for (size_t i = 0; i < complaints.size() && i < 20; ++i) view.error += (i ? " | " : "") + complaints[i];
        return view;
    }
    view.ok = true;
    return view;
}

}  // namespace zentra::readers
