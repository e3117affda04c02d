#pragma once
// frmStep1: the program's one window. It lays out every control as designed, adapts them to
// the control members the commands use, and keeps its handlers thin: the file list, the add
// commands and the import run live in sources/ and import/ and arrive as callbacks.
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "platform/flex_grid_widget.h"
#include "platform/qt_controls.h"
#include "platform/ui_services.h"
#include "sources/file_list.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace app {

class frmStep1;
class ShapeWidget;

// What the window's command buttons run, and how the program ends. Empty command callbacks
// leave their buttons without effect.
struct Commands {
    std::function<void(frmStep1&)> add;          // cmdAdd_Click
    std::function<void(frmStep1&)> addFolder;    // CmdAddFolder_Click
    std::function<void(frmStep1&)> import;       // CmdExtractDBX_Click
    std::function<void()> endProgram;            // default: leave the event loop
    std::function<QString()> helpTarget;         // default: the installed manual as a file URL
    std::function<void(frmStep1&)> clear;        // cmdClear1_Click (default: the list's own)
};

class frmStep1 : public QWidget {
    Q_OBJECT
public:
    explicit frmStep1(platform::UiServices& ui, Commands commands = {}, QWidget* parent = nullptr);
    ~frmStep1() override;

    // Handlers, named as the program's commands are.
    void Form_Initialize();
    void Form_Load();
    void Form_Unload();
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdExtractDBX_Click();
    void cmdEnd_Click();
    void CmdHelp_Click();

    // What the commands work on.
    platform::UiServices& ui() { return ui_; }
    sources::FileList& fileList() { return *fileList_; }
    platform::FlexGridWidget& grdFiles1() { return *grdFiles1_; }
    platform::EnabledControl& importCommand() { return *importEnabled_; }
    platform::TextControl& countLabel() { return *countText_; }
    platform::TextControl& frameCaption() { return *frameText_; }       // FrameConversion
    platform::TextControl& stageLabel() { return *stageText_; }         // LblCurrentDBX
    platform::ProgressControl& overallProgress() { return *progress1_; }  // ProgressBar1
    platform::ProgressControl& fileProgress() { return *progress2_; }     // ProgressBar2
    platform::TextControl& fileContactLabel() { return *fileContactText_; }   // LblProgessCurrent
    // The enabled states of the commands that change the list (cmdAdd, CmdAddFolder,
    // cmdClear1), for a run that must keep them from running meanwhile.
    std::vector<platform::EnabledControl*> listCommands();

signals:
    // The window is closing and the program is about to end: a running command winds up here.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void centreOnScreen();
    // Runs a handler; an error nobody trapped is shown as "number:description" instead of
    // escaping into the event loop, which would end the program.
    void guarded(const std::function<void()>& handler);

    platform::UiServices& ui_;
    Commands commands_;
    bool unloading_ = false;

    ShapeWidget* Shape2_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblCopyright_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* CmdAddFolder_ = nullptr;
    QPushButton* cmdClear1_ = nullptr;
    QLabel* lblCount1_ = nullptr;
    platform::FlexGridWidget* grdFiles1_ = nullptr;
    QGroupBox* FrameConversion_ = nullptr;
    QLabel* LblCurrentDBX_ = nullptr;
    QLabel* LblProgessCurrent_ = nullptr;
    QLabel* Label2_ = nullptr;
    QProgressBar* ProgressBar2_ = nullptr;
    QLabel* Label1_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QPushButton* CmdExtractDBX_ = nullptr;
    ShapeWidget* Shape1_ = nullptr;
    QWidget* Picture3_ = nullptr;
    QPushButton* CmdHelp_ = nullptr;
    QPushButton* cmdEnd_ = nullptr;

    std::unique_ptr<platform::LabelText> fileContactText_;
    std::unique_ptr<platform::LabelText> countText_;
    std::unique_ptr<platform::FrameText> frameText_;
    std::unique_ptr<platform::LabelText> stageText_;
    std::unique_ptr<platform::WidgetEnabled> importEnabled_;
    std::vector<std::unique_ptr<platform::WidgetEnabled>> listCommandsEnabled_;
    std::unique_ptr<platform::ProgressBarControl> progress1_;
    std::unique_ptr<platform::ProgressBarControl> progress2_;
    std::unique_ptr<sources::FileList> fileList_;
};

}  // namespace app
