// "Add Folder having vCard File(s)...": the folder picker, the recursive scan, then one list
// row per file whose name ends in ".vcf" (any case, trailing spaces ignored), and a message
// with the number of files this run added.
//
// A scan that fails part-way (a folder that cannot be listed or vanishes) is reported in an
// exclamation box naming the folder and the reason; the files found before the failure are
// still added and counted. The pointer always returns to the default, errors or not.
#include <QStringView>
#include <optional>

#include "message_texts.h"
#include "sources/add_commands.h"
#include "sources/native_path.h"
#include "sources/path_logger.h"

namespace sources {

namespace {

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
    std::optional<zentra::Error> failure;
};

ScanResult findAllFiles(const QString& folder, FileSystem* fs) {
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
    finder.Terminate();
    return result;
}

// Lower-cased, leading and trailing spaces (only spaces) removed, the last four characters
// must be ".vcf".
bool endsInVcf(const QString& path) {
    const QString lower = path.toLower();
    qsizetype begin = 0, end = lower.size();
    while (begin < end && lower[begin] == u' ') ++begin;
    while (end > begin && lower[end - 1] == u' ') --end;
    return end - begin >= 4 && QStringView(lower).sliced(end - 4, 4) == u".vcf";
}

}  // namespace

void CmdAddFolder_Click(platform::UiServices& ui, QWidget* owner, FileList& list,
                        platform::EnabledControl& importCommand, FileSystem* fs) {
    QString folder = registry::BrowseForFolder(ui, owner, QStringLiteral("Choose Source Folder..."));
    if (folder.isEmpty()) return;
    folder = withTrailingSeparator(folder);

    BusyPointer busy(ui);
    const ScanResult scan = findAllFiles(folder, fs);
    if (scan.failure) {
        busy.release();
        ui.msgBox(errorText(*scan.failure), platform::vbExclamation | platform::vbOKOnly, applicationTitle());
        busy.resume();
    }

    std::int32_t count = 0;
    try {
        for (const KeyedList::Entry& entry : *scan.files) {
            ui.doEvents();
            const QString& path = std::get<QString>(entry.value);
            if (endsInVcf(path)) {
                ui.doEvents();
                list.AddFileToList(path);
                ++count;
            }
        }
    } catch (const zentra::Error& error) {
        // Rows added so far stay; the run ends here with the error instead of the count.
        busy.release();
        importCommand.setEnabled(count > 0);
        ui.msgBox(errorText(error), platform::vbExclamation | platform::vbOKOnly, applicationTitle());
        return;
    }

    busy.release();
    importCommand.setEnabled(count > 0);
    ui.msgBox(QString::number(count) + " Files Added to List.", platform::vbOKOnly, applicationTitle());
}

}  // namespace sources
