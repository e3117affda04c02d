#pragma once
// The list of chosen vCard files, held in the window's grid: one full path per row, no header.
#include <QString>

#include "platform/controls.h"
#include "platform/ui_services.h"

namespace sources {

class FileList {
public:
    FileList(platform::FlexGrid& grid, platform::TextControl& countLabel);

    void AddFileToList(const QString& path);
    void ResetFileList();
    // The "Clear File(s)..." command: asks, then resets. Leaves the import command alone.
    void cmdClear1_Click(platform::UiServices& ui);

    platform::FlexGrid& grid() { return grid_; }

private:
    platform::FlexGrid& grid_;
    platform::TextControl& countLabel_;
};

}  // namespace sources
