// The window's controls: names, positions and sizes in twips as designed, fonts, colours,
// captions, initial state and keyboard order.
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>

#include "app/app_info.h"
#include "app/elided_label.h"
#include "app/frm_step1.h"
#include "app/shape_widget.h"

namespace app {
namespace {

constexpr int kTwips = platform::kTwipsPerPixel;

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kNavy(0, 0, 128);

template <typename W>
W* placed(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left / kTwips, top / kTwips, width / kTwips, height / kTwips);
    return widget;
}

QFont tahoma(double points, QFont::Weight weight) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

void paintOn(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    if (background.isValid()) {
        palette.setColor(QPalette::Window, background);
        widget->setAutoFillBackground(true);
    }
    if (text.isValid()) palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

QLabel* label(QWidget* parent, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

// The controls inside a frame are placed for a caption that sits on the frame's top line, as
// the classic frame draws it. Styles that set the caption above the line (Fusion) draw the line
// a caption's height lower, through the stage label, so this frame keeps the classic drawing
// under every style; the controls inside it keep the application's style.
void drawCaptionOnTopLine(QGroupBox* frame) {
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        classic->setParent(frame);   // the widget does not own a style it is given
        frame->setStyle(classic);
    }
}

QPushButton* button(QWidget* parent, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);   // no button answers Enter or Esc
    b->setDefault(false);
    return b;
}

QProgressBar* progressBar(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setTextVisible(false);
    bar->setFocusPolicy(Qt::NoFocus);
    return bar;
}

}  // namespace

void frmStep1::buildControls() {
    setFont(tahoma(8.25, QFont::Normal));

    // Controls are made in their keyboard order: Qt links a new widget at the end of the
    // window's focus chain, together with the inner widgets of compound controls, which
    // setTabOrder would leave behind. Labels, frame, panel and bars take no focus.
    cmdAdd_ = placed(button(this, QStringLiteral("Add vCard File(s)...")), "cmdAdd", 240, 960, 1815, 375);
    cmdClear1_ = placed(button(this, QStringLiteral("Clear File(s)...")), "cmdClear1", 6240, 960, 1695, 375);
    CmdAddFolder_ = placed(button(this, QStringLiteral("Add Folder having vCard File(s)...")), "CmdAddFolder",
                           2400, 960, 2775, 375);

    grdFiles1_ = placed(new platform::FlexGridWidget(this), "grdFiles1", 240, 1800, 7695, 1575);
    QPalette grid = grdFiles1_->palette();
    grid.setColor(QPalette::Base, kWhite);                  // the area beyond the cells
    grid.setColor(QPalette::Text, kBlack);
    grid.setColor(QPalette::Highlight, kNavy);              // highlight text stays the system's
    grdFiles1_->setPalette(grid);
    grdFiles1_->setGridLineColor(kSilver);
    grdFiles1_->gridModel().cellBackground = QColor(255, 255, 191);

    lblCount1_ = placed(label(this, QStringLiteral("0 files")), "lblCount1", 270, 1560, 7695, 255);

    CmdExtractDBX_ = placed(button(this, QStringLiteral("Import &Contacts")), "CmdExtractDBX", 2880, 5520, 2415, 435);
    CmdExtractDBX_->setEnabled(false);

    Picture3_ = placed(new QWidget(this), "Picture3", 240, 6240, 7695, 495);
    paintOn(Picture3_, kWhite, QColor());
    Picture3_->setFocusPolicy(Qt::NoFocus);
    cmdEnd_ = placed(button(Picture3_, QStringLiteral("E&xit")), "cmdEnd", 6360, 0, 1335, 375);

    lblTitle_ = placed(label(this, QString::fromLatin1(kApplicationTitle)), "lblTitle", 240, 120, 6255, 375);
    lblTitle_->setFont(tahoma(14.25, QFont::Bold));
    paintOn(lblTitle_, kWhite, kBlack);
    lblCopyright_ = placed(label(this, copyrightLine()), "lblCopyright", 240, 480, 6135, 255);
    paintOn(lblCopyright_, kWhite, kBlack);

    CmdHelp_ = placed(button(Picture3_, QStringLiteral("&Help Manual")), "CmdHelp", 0, 0, 1695, 375);

    FrameConversion_ = placed(new QGroupBox(QStringLiteral("Details"), this), "FrameConversion", 240, 3480, 7695, 1815);
    FrameConversion_->setFocusPolicy(Qt::NoFocus);
    drawCaptionOnTopLine(FrameConversion_);
    ProgressBar1_ = placed(progressBar(FrameConversion_), "ProgressBar1", 1800, 1320, 5775, 255);
    LblProgessCurrent_ = placed(label(FrameConversion_, QStringLiteral("Contact 0 (of 0)")), "LblProgessCurrent",
                                1800, 600, 5775, 255);
    paintOn(LblProgessCurrent_, QColor(), kBlack);
    LblCurrentDBX_ = placed(new ElidedLabel(QStringLiteral("Converting Contacts..."), FrameConversion_), "LblCurrentDBX",
                            120, 240, 7455, 255);
    Label1_ = placed(label(FrameConversion_, QStringLiteral("Overall Progress        : ")), "Label1", 120, 1320, 1695, 255);
    ProgressBar2_ = placed(progressBar(FrameConversion_), "ProgressBar2", 1800, 960, 5775, 255);
    Label2_ = placed(label(FrameConversion_, QStringLiteral("Current File Progress : ")), "Label2", 120, 960, 1695, 255);

    // The two bands lie beneath every other control.
    Shape2_ = placed(new ShapeWidget(kWhite, kGrey, this), "Shape2", -120, 0, 8415, 855);
    Shape1_ = placed(new ShapeWidget(kWhite, kSilver, this), "Shape1", 0, 6120, 8415, 855);
    Shape1_->lower();
    Shape2_->lower();
    cmdAdd_->setFocus(Qt::OtherFocusReason);
}

void frmStep1::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace app
