// "Add vCard File(s)...": the open dialog with multiple selection, then one list row per
// picked file. The selection text is one full path, or the folder followed by NUL + name for
// each picked file; each pick is listed under the bytes QFile::encodeName gives for it, the
// name the file system knows. Every error is trapped and shown in one exclamation box.
#include <QStringList>
#include <new>

#include "message_texts.h"
#include "sources/add_commands.h"
#include "sources/native_path.h"

namespace sources {

namespace {

constexpr long kExplorerMultiSelect = 0x80200;   // OFN_EXPLORER | OFN_ALLOWMULTISELECT
constexpr int kSelectionCapacity = 1000;
constexpr long kErrOutOfMemory = 7;
const QChar kNul(u'\0');

void addSelection(platform::CommonDialog& dialog, FileList& list, platform::EnabledControl& importCommand) {
    dialog.setFileName(QString());
    dialog.setFilter(QStringLiteral("vCard Contacts (*.vcf)|*.vcf"));
    dialog.setFlags(kExplorerMultiSelect);
    dialog.setMaxFileSize(kSelectionCapacity);
    dialog.showOpen();

    QString selection = dialog.fileName();
    if (selection.isEmpty()) return;   // cancelled
    if (!selection.endsWith(kNul)) selection += kNul;

    importCommand.setEnabled(true);

    // The terminator makes the last part empty; it is never used.
    const QStringList parts = selection.split(kNul, Qt::KeepEmptyParts);
    const qsizetype u = parts.size() - 1;
    QString folder;
    if (u >= 2) folder = withTrailingSeparator(parts[0]);

    for (qsizetype i = 0; i <= u - 1; ++i) {
        if (!folder.isEmpty() && i == 0) continue;   // the folder itself
        list.AddFileToList(folder + parts[i]);
    }
}

}  // namespace

void cmdAdd_Click(platform::UiServices& ui, FileList& list, platform::EnabledControl& importCommand) {
    platform::CommonDialog& dialog = ui.fileDialog();
    try {
        addSelection(dialog, list, importCommand);
    } catch (const zentra::Error& error) {
        if (error.number() == zentra::kErrFileTooLarge) {
            ui.msgBox("Please select only " + QString::number(dialog.maxFilesHint()) + " files at a time",
                      platform::vbExclamation | platform::vbOKOnly, applicationTitle());
        } else {
            ui.msgBox(errorText(error), platform::vbExclamation | platform::vbOKOnly, applicationTitle());
        }
    } catch (const std::bad_alloc&) {
        ui.msgBox(errorText(zentra::Error(kErrOutOfMemory, "Out of memory")),
                  platform::vbExclamation | platform::vbOKOnly, applicationTitle());
    }
}

}  // namespace sources
