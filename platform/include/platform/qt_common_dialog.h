#pragma once
// The open-file dialog on QFileDialog, with the classic dialog's settings and selection text.
#include <QString>

#include "platform/ui_services.h"

class QWidget;

namespace platform {

class QtCommonDialog : public CommonDialog {
public:
    // How many files a selection can hold: typical names (a folder of some 60 characters and
    // names of up to about 30) fit 30 of them into the 1000 characters the add command allows.
    static constexpr int kMaxFilesHint = 30;
    static constexpr long kAllowMultiSelect = 0x200;

    void setFileName(const QString& name) override { fileName_ = name; }
    QString fileName() const override { return fileName_; }
    void setFilter(const QString& filter) override { filter_ = filter; }
    void setFlags(long flags) override { flags_ = flags; }
    void setMaxFileSize(int characters) override { maxFileSize_ = characters; }
    void showOpen() override;
    int maxFilesHint() const override { return kMaxFilesHint; }

    QString filter() const { return filter_; }
    long flags() const { return flags_; }
    int maxFileSize() const { return maxFileSize_; }

private:
    QString fileName_;
    QString filter_;
    long flags_ = 0;
    int maxFileSize_ = 260;
};

// "description|pattern|description|pattern..." as Qt name filters: "description (pattern)",
// keeping a description that already names its pattern in parentheses as it is.
QStringList qtNameFilters(const QString& classicFilter);

// The folder picker: a directories-only dialog modal to `owner`; "" on cancel.
QString chooseFolderWithDialog(QWidget* owner, const QString& title);

}  // namespace platform
