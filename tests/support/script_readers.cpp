// The two readers driven through a script that prints JSON: pypff (libpff's Python binding,
// only importable by Debian's /usr/bin/python3) and pst-extractor (npm, run by node).
#include <cstdlib>

#include "json_value.h"
#include "reader_common.h"

namespace zentra::readers {
namespace {

namespace fs = std::filesystem;

// Fills the view's folders; returns the folders (by index) the reader could not list fully.
std::vector<std::pair<size_t, std::string>> fillFolders(ReaderView& view, const JsonValue& doc) {
    std::vector<std::pair<size_t, std::string>> folderErrors;
    view.storeName = doc["storeName"].text().value_or("");
    for (const auto& jf : doc["folders"].asArray()) {
        FolderView f;
        f.path = jf["path"].text().value_or("");
        f.name = jf["name"].text().value_or("");
        if (auto cc = jf["containerClass"].text()) f.containerClass = *cc;
        if (!jf["contentCount"].isNull()) f.contentCount = static_cast<long>(jf["contentCount"].asNumber());
        for (const auto& ji : jf["items"].asArray()) {
            ItemView item;
            for (const auto& [k, v] : ji["fields"].asObject()) item.fields[k] = v.text().value_or("");
            if (auto kind = ji["kind"].text()) item.fields["kind"] = *kind;
            for (const auto& jp : ji["props"].asArray()) {
                char key[16];
                std::snprintf(key, sizeof key, "0x%04x%04x", static_cast<unsigned>(jp["id"].asNumber()),
                              static_cast<unsigned>(jp["type"].asNumber()));
                std::string hex = jp["hex"].text().value_or("");
                item.props[key] = hex;
                if (auto named = jp["named"].text()) item.props[*named] = hex;
            }
            f.items.push_back(std::move(item));
        }
        f.itemCount = f.items.size();
        if (auto err = jf["error"].text()) folderErrors.emplace_back(view.folders.size(), *err);
        view.folders.push_back(std::move(f));
    }
    // The IPM subtree is the folder the store's PidTagIpmSubTreeEntryId names.
    std::string subtree;
    if (!doc["ipmSubtreeNid"].isNull()) {
        const double nid = doc["ipmSubtreeNid"].asNumber();
        auto jfs = doc["folders"].asArray();
        for (size_t i = 0; i < jfs.size(); ++i)
            if (!jfs[i]["nid"].isNull() && jfs[i]["nid"].asNumber() == nid) subtree = view.folders[i].path;
    }
    if (subtree.empty())
        for (const auto& f : view.folders)
            if (f.path.find('/') == std::string::npos && isIpmSubtreeName(f.name)) subtree = f.path;
    if (!subtree.empty()) assignIpmPaths(view, subtree);
    return folderErrors;
}

// Runs a dump script and turns its JSON into the view.
ReaderView runScript(const std::string& reader, const std::vector<std::string>& argv, const ReaderOptions& options) {
    ReaderView view;
    view.reader = reader;
    ProcessResult run = runProcess(argv, options.timeout);
    view.output = run.out + run.err;
    if (run.timedOut) {
        view.error = reader + " did not finish in time";
        return view;
    }
    // The script's verdict is its last JSON line; libraries may print noise before it.
    std::string json;
    for (const auto& line : splitLines(run.out))
        if (startsWith(line, "{")) json = line;
    if (json.empty()) {
        view.error = reader + " printed no result (exit " + std::to_string(run.exitCode) + "): " + trim(run.err).substr(0, 2000);
        return view;
    }
    JsonValue doc;
    try {
        doc = JsonValue::parse(json);
    } catch (const std::exception& e) {
        view.error = reader + " printed unreadable JSON: " + e.what();
        return view;
    }
    if (!doc["ok"].asBool() || run.exitCode != 0) {
        view.error = reader + ": " + doc["error"].text().value_or("failed with exit " + std::to_string(run.exitCode));
        return view;
    }
    // A folder the reader fails to list counts against the file when it is one of the store's
    // own folders; outside the IPM subtree (search folders) the readers' gaps are known.
    for (const auto& [index, message] : fillFolders(view, doc)) {
        const FolderView& f = view.folders[index];
        if (f.underIpmSubtree && view.error.empty()) view.error = reader + ": folder \"" + f.path + "\": " + message;
        else view.warnings.push_back(f.path + ": " + message);
    }
    if (!view.error.empty()) return view;
    for (const auto& jn : doc["namedProps"].asArray()) {
        NamedPropView n;
        n.npid = static_cast<uint16_t>(jn["npid"].asNumber());
        n.guid = jn["guid"].text().value_or("");
        if (!jn["lid"].isNull()) n.lid = static_cast<uint32_t>(jn["lid"].asNumber());
        n.name = jn["name"].text().value_or("");
        view.namedProps.push_back(std::move(n));
    }
    for (const auto& line : splitLines(run.err))
        if (!trim(line).empty()) view.warnings.push_back(trim(line));
    view.ok = true;
    return view;
}

// Where pst-extractor is installed: $ZENTRA_READERS_DIR (either a node_modules folder or a
// folder holding one), else <source>/build/readers/node_modules.
std::optional<fs::path> pstExtractorModules() {
    std::vector<fs::path> candidates;
    if (const char* env = std::getenv("ZENTRA_READERS_DIR"); env && *env) {
        candidates.push_back(fs::path(env) / "node_modules");
        candidates.push_back(env);
    } else {
        candidates.push_back(fs::path(ZENTRA_SOURCE_DIR) / "build" / "readers" / "node_modules");
    }
    for (const auto& c : candidates)
        if (fs::exists(c / "pst-extractor" / "package.json")) return fs::absolute(c);
    return std::nullopt;
}

}  // namespace

ReaderView readWithPypff(const std::string& pstPath, const ReaderOptions& options) {
    return runScript("pypff", {"/usr/bin/python3", supportDir() + "/pypff_dump.py", pstPath}, options);
}

ReaderView readWithPstExtractor(const std::string& pstPath, const ReaderOptions& options) {
    auto modules = pstExtractorModules();
    if (!modules) {
        ReaderView view;
        view.reader = "pst-extractor";
        view.skipped = true;
        const char* env = std::getenv("ZENTRA_READERS_DIR");
        view.error = "pst-extractor is not installed (looked in " +
                     (env && *env ? std::string(env) : std::string(ZENTRA_SOURCE_DIR) + "/build/readers/node_modules") +
                     "; scripts/setup-debian.sh installs it)";
        return view;
    }
    return runScript("pst-extractor", {"node", supportDir() + "/pst_extractor_dump.js", pstPath, modules->string()}, options);
}

}  // namespace zentra::readers
