#include "app/frm_step1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

#include "app/app_info.h"
#include "app/registry_shell.h"
#include "platform/qt_ui_services.h"
#include "zentra/error.h"

namespace app {
namespace {

constexpr int kClientWidth = 8145 / platform::kTwipsPerPixel;    // 543
constexpr int kClientHeight = 6750 / platform::kTwipsPerPixel;   // 450
constexpr int kStartColumnTwips = 50000;

QString appTitle() { return QString::fromLatin1(kApplicationTitle); }

}  // namespace

frmStep1::frmStep1(platform::UiServices& ui, Commands commands, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(ui), commands_(std::move(commands)) {
    if (!commands_.endProgram) commands_.endProgram = [] { QCoreApplication::quit(); };
    if (!commands_.helpTarget) commands_.helpTarget = [] { return helpManualTarget(); };

    Form_Initialize();

    // Fixed single border, no maximize button, fixed client size, centred.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(windowCaption());
    setFixedSize(kClientWidth, kClientHeight);
    buildControls();

    countText_ = std::make_unique<platform::LabelText>(lblCount1_);
    frameText_ = std::make_unique<platform::FrameText>(FrameConversion_);
    stageText_ = std::make_unique<platform::LabelText>(LblCurrentDBX_);
    fileContactText_ = std::make_unique<platform::LabelText>(LblProgessCurrent_);
    importEnabled_ = std::make_unique<platform::WidgetEnabled>(CmdExtractDBX_);
    for (QPushButton* b : {cmdAdd_, CmdAddFolder_, cmdClear1_})
        listCommandsEnabled_.push_back(std::make_unique<platform::WidgetEnabled>(b));
    progress1_ = std::make_unique<platform::ProgressBarControl>(ProgressBar1_);
    progress2_ = std::make_unique<platform::ProgressBarControl>(ProgressBar2_);
    fileList_ = std::make_unique<sources::FileList>(*grdFiles1_, *countText_);

    connectHandlers();
    Form_Load();
    centreOnScreen();
}

frmStep1::~frmStep1() = default;

std::vector<platform::EnabledControl*> frmStep1::listCommands() {
    std::vector<platform::EnabledControl*> all;
    for (auto& c : listCommandsEnabled_) all.push_back(c.get());
    return all;
}

void frmStep1::Form_Initialize() {
    // The counterpart of initialising the common controls: the application's style exists
    // before the first control is made, so every control is drawn themed from its first paint.
    QApplication::style();
}

void frmStep1::Form_Load() { grdFiles1_->setColWidth(0, kStartColumnTwips); }

void frmStep1::Form_Unload() {
    if (unloading_) return;
    unloading_ = true;
    emit closeRequested();
    commands_.endProgram();
}

void frmStep1::closeEvent(QCloseEvent* event) {
    // Every way of closing (close box, Alt+F4, the system menu, a confirmed Exit) ends here;
    // none of them asks anything.
    event->accept();
    Form_Unload();
}

void frmStep1::connectHandlers() {
    auto on = [this](QPushButton* b, void (frmStep1::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(cmdAdd_, &frmStep1::cmdAdd_Click);
    on(CmdAddFolder_, &frmStep1::CmdAddFolder_Click);
    on(cmdClear1_, &frmStep1::cmdClear1_Click);
    on(CmdExtractDBX_, &frmStep1::CmdExtractDBX_Click);
    on(cmdEnd_, &frmStep1::cmdEnd_Click);
    on(CmdHelp_, &frmStep1::CmdHelp_Click);
}

void frmStep1::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const zentra::Error& e) {
        ui_.msgBox(QString::number(e.number()) + QLatin1Char(':') + QString::fromStdString(e.description()),
                   platform::vbOKOnly | platform::vbExclamation, appTitle());
    } catch (const std::exception& e) {
        ui_.msgBox(QString::fromLocal8Bit(e.what()), platform::vbOKOnly | platform::vbExclamation, appTitle());
    }
}

void frmStep1::cmdAdd_Click() {
    if (commands_.add) commands_.add(*this);
}

void frmStep1::CmdAddFolder_Click() {
    if (commands_.addFolder) commands_.addFolder(*this);
}

void frmStep1::cmdClear1_Click() {
    if (commands_.clear)
        commands_.clear(*this);
    else
        fileList_->cmdClear1_Click(ui_, *importEnabled_);
}

void frmStep1::CmdExtractDBX_Click() {
    if (commands_.import) commands_.import(*this);
}

void frmStep1::cmdEnd_Click() {
    const int answer = ui_.msgBox(QStringLiteral("Are you sure you want to exit now?"),
                                  platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton1, appTitle());
    if (answer == platform::vbYes) close();
}

void frmStep1::CmdHelp_Click() {
    const QString target = commands_.helpTarget();
    if (registry::ShellOpen(ui_, target)) return;
    // Otherwise the click would seem to do nothing: say where the manual is, to open it by hand.
    const QUrl url = platform::urlForTarget(target);
    const QString where = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : target;
    ui_.msgBox("The help manual could not be opened:\r\n" + where + "\r\n" + ui_.whyNotOpened(target),
               platform::vbOKOnly | platform::vbExclamation, appTitle());
}

}  // namespace app
