#pragma once
// The two commands that fill the file list.
#include <QString>

#include "platform/controls.h"
#include "platform/ui_services.h"
#include "sources/file_list.h"

class QWidget;

namespace sources {

class FileSystem;   // sources/file_system.h: the seam the folder scan lists folders through

// "Add vCard File(s)...": the open dialog, then one row per picked file.
void cmdAdd_Click(platform::UiServices& ui, FileList& list, platform::EnabledControl& importCommand);

// "Add Folder having vCard File(s)...": the folder picker, the recursive scan, then one row
// per ".vcf" file found. `fs` is the file-system seam (nullptr: the real file system).
void CmdAddFolder_Click(platform::UiServices& ui, QWidget* owner, FileList& list,
                        platform::EnabledControl& importCommand, FileSystem* fs = nullptr);

}  // namespace sources

namespace registry {
// The folder picker: the chosen folder's full path, or "" on cancel or any failure.
QString BrowseForFolder(platform::UiServices& ui, QWidget* owner, const QString& title);
}  // namespace registry
