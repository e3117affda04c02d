// "Add Folder having vCard File(s)...": the folder picker, the recursive scan, then one list
// row per file whose name ends in ".vcf" (any case, trailing spaces ignored), and a message
// with the number of files this run added.
//
// Folders the scan cannot list (no permission, vanished, a path too long for the system) do
// not stop it: every other folder is still scanned and its files added, and after the add one
// exclamation box says how many folders could not be read and names the first few with their
// reasons. An error that cuts the scan or the adding short is shown in a box of its own; the
// files found before it are still added. The pointer always returns to the default.
#include <QFile>
#include <string_view>

#include "message_texts.h"
#include "sources/add_commands.h"
#include "sources/native_path.h"
#include "sources/path_logger.h"

namespace sources {

namespace {

constexpr std::size_t kUnreadFoldersNamed = 5;

// Sets the hourglass for its lifetime; the default pointer comes back on every way out.
class BusyPointer {
public:
    explicit BusyPointer(platform::UiServices& ui) : ui_(ui) { ui_.setMousePointer(platform::vbHourglass); }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    void release() {
        if (busy_) ui_.setMousePointer(platform::vbDefault);
        busy_ = false;
    }
    void resume() {
        if (!busy_) ui_.setMousePointer(platform::vbHourglass);
        busy_ = true;
    }

private:
    platform::UiServices& ui_;
    bool busy_ = true;
};

struct ScanResult {
    KeyedListPtr files;
    std::vector<UnreadFolder> unread;
    std::optional<zentra::Error> failure;
};

ScanResult findAllFiles(const std::string& folder, FileSystem* fs) {
    ScanResult result;
    pathLogger finder(fs);
    try {
        finder.PathLogInit();
        finder.fullFileNamesOnly(true);
        finder.LogPath(folder);
    } catch (const zentra::Error& error) {
        result.failure = error;
    }
    result.files = finder.fullFileNames();
    result.unread = finder.unreadFolders();
    finder.Terminate();
    return result;
}

// Leading and trailing spaces (only spaces) removed, the last four bytes must be ".vcf" in
// any case. No other character lower-cases to an ASCII letter of ".vcf", so comparing bytes
// is the same as comparing lower-cased text.
bool endsInVcf(std::string_view path) {
    const std::size_t begin = path.find_first_not_of(' ');
    if (begin == std::string_view::npos) return false;
    const std::string_view name = path.substr(begin, path.find_last_not_of(' ') + 1 - begin);
    if (name.size() < 4) return false;
    static constexpr std::string_view kVcf = ".vcf";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = name[name.size() - 4 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kVcf[i]) return false;
    }
    return true;
}

QString unreadFoldersText(const std::vector<UnreadFolder>& unread) {
    QString text = unread.size() == 1
                       ? QStringLiteral("1 folder could not be read, so the vCard files in it are not in the list:")
                       : QString::number(unread.size()) +
                             QStringLiteral(" folders could not be read, so the vCard files in them are not in the list:");
    for (std::size_t i = 0; i < unread.size() && i < kUnreadFoldersNamed; ++i)
        text += QStringLiteral("\r\n") + QString::fromStdString(unread[i].error.description());
    if (unread.size() > kUnreadFoldersNamed)
        text += QStringLiteral("\r\nand ") + QString::number(unread.size() - kUnreadFoldersNamed) + QStringLiteral(" more.");
    return text;
}

}  // namespace

FolderAddResult CmdAddFolder_Click(platform::UiServices& ui, QWidget* owner, FileList& list,
                                   platform::EnabledControl& importCommand, FileSystem* fs) {
    FolderAddResult result;
    const QString picked = registry::BrowseForFolder(ui, owner, QStringLiteral("Choose Source Folder..."));
    if (picked.isEmpty()) return result;
    result.picked = true;
    const std::string folder = withTrailingSeparator(QFile::encodeName(picked).toStdString());

    BusyPointer busy(ui);
    ScanResult scan = findAllFiles(folder, fs);
    result.unreadFolders = std::move(scan.unread);
    if (scan.failure) {
        busy.release();
        ui.msgBox(errorText(*scan.failure), platform::vbExclamation | platform::vbOKOnly, applicationTitle());
        busy.resume();
        result.error = scan.failure;
    }

    std::optional<zentra::Error> addingError;
    try {
        const KeyedList& files = *scan.files;
        for (int k = 1; k <= files.count(); ++k) {
            ui.doEvents();
            const std::string path = files.text(k);
            if (endsInVcf(path)) {
                ui.doEvents();
                list.AddFileToList(path);
                ++result.filesAdded;
            }
        }
    } catch (const zentra::Error& error) {
        // Rows added so far stay; the run ends with the error instead of the count.
        addingError = error;
    }

    busy.release();
    importCommand.setEnabled(result.filesAdded > 0);
    if (addingError) {
        ui.msgBox(errorText(*addingError), platform::vbExclamation | platform::vbOKOnly, applicationTitle());
        result.error = addingError;
    }
    if (!result.unreadFolders.empty())
        ui.msgBox(unreadFoldersText(result.unreadFolders), platform::vbExclamation | platform::vbOKOnly,
                  applicationTitle());
    if (!addingError)
        ui.msgBox(QString::number(result.filesAdded) + " Files Added to List.", platform::vbOKOnly, applicationTitle());
    return result;
}

}  // namespace sources
