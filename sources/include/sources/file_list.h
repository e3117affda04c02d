#pragma once
// The list of chosen vCard files, held in the window's grid: one full path per row, no header.
// Paths are kept as the file system's exact bytes (the grid's path()); the grid shows them in
// their readable form.
#include <QString>
#include <string_view>

#include "platform/controls.h"
#include "platform/ui_services.h"

namespace sources {

class FileList {
public:
    FileList(platform::FlexGrid& grid, platform::TextControl& countLabel);

    // Appends one path, exactly these bytes.
    void AddFileToList(std::string_view path);
    void AddFileToList(const char* path) { AddFileToList(std::string_view(path)); }
    // A path held as text (from a dialog, or a command line), named on disk as QFile::encodeName
    // gives it.
    void AddFileToList(const QString& path);
    // Empties the list. An empty list has nothing to import, so the import command is disabled
    // here, whoever empties it; the add commands enable it again.
    void ResetFileList(platform::EnabledControl& importCommand);
    // The "Clear File(s)..." command: asks, then resets.
    void cmdClear1_Click(platform::UiServices& ui, platform::EnabledControl& importCommand);

    platform::FlexGrid& grid() { return grid_; }

private:
    platform::FlexGrid& grid_;
    platform::TextControl& countLabel_;
};

}  // namespace sources
