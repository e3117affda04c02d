#pragma once
// The two commands that fill the file list.
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/controls.h"
#include "platform/ui_services.h"
#include "sources/file_list.h"
#include "sources/path_logger.h"

class QWidget;

namespace sources {

// "Add vCard File(s)...": the open dialog, then one row per picked file.
void cmdAdd_Click(platform::UiServices& ui, FileList& list, platform::EnabledControl& importCommand);

// What one run of the add-folder command did, for callers that report it themselves (the
// command-line importer names each unread folder). The window has shown all of it already.
struct FolderAddResult {
    bool picked = false;                       // false: the picker was cancelled, nothing ran
    std::int32_t filesAdded = 0;               // rows this run added
    std::vector<UnreadFolder> unreadFolders;   // folders the scan could not list, with why
    std::optional<zentra::Error> error;        // an error that cut the scan or the adding short
};

// "Add Folder having vCard File(s)...": the folder picker, the recursive scan, then one row
// per ".vcf" file found; folders that could not be read are shown in one box after the add.
// `fs` is the file-system seam (nullptr: the real file system).
FolderAddResult CmdAddFolder_Click(platform::UiServices& ui, QWidget* owner, FileList& list,
                                   platform::EnabledControl& importCommand, FileSystem* fs = nullptr);

}  // namespace sources

namespace registry {
// The folder picker: the chosen folder's full path, or "" on cancel or any failure.
QString BrowseForFolder(platform::UiServices& ui, QWidget* owner, const QString& title);
}  // namespace registry
