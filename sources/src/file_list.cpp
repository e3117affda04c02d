#include "sources/file_list.h"

#include <QFile>

#include "message_texts.h"

namespace sources {
namespace {

constexpr int kListColumnTwips = 10000;

}  // namespace

FileList::FileList(platform::FlexGrid& grid, platform::TextControl& countLabel)
    : grid_(grid), countLabel_(countLabel) {}

void FileList::AddFileToList(std::string_view path) {
    // The list is empty when its one row has an empty first cell; a list of one file also has
    // one row, so only that cell tells them apart.
    bool empty = false;
    if (grid_.rows() == 1) {
        grid_.setRow(0);
        grid_.setCol(0);
        empty = grid_.path().empty();
    }
    if (empty) {
        grid_.setCols(1);
        grid_.setFixedRows(0);
        grid_.setColWidth(0, kListColumnTwips);
    } else {
        grid_.setRows(grid_.rows() + 1);
    }
    grid_.setRow(grid_.rows() - 1);
    grid_.setCol(0);
    grid_.setPath(path);
    countLabel_.setCaption(QString::number(grid_.rows()) + QStringLiteral(" files"));
}

void FileList::AddFileToList(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    AddFileToList(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void FileList::ResetFileList(platform::EnabledControl& importCommand) {
    grid_.setRows(1);
    grid_.clear();
    countLabel_.setCaption(QStringLiteral("0 files"));
    importCommand.setEnabled(false);
}

void FileList::cmdClear1_Click(platform::UiServices& ui, platform::EnabledControl& importCommand) {
    grid_.setRow(0);
    grid_.setCol(0);
    if (grid_.path().empty()) return;
    const int answer = ui.msgBox(QStringLiteral("Do you want to clear all the files in the list\r\n Proceed?"),
                                 platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton1,
                                 applicationTitle());
    if (answer == platform::vbYes) ResetFileList(importCommand);
}

}  // namespace sources
