// The window as designed: every control's name, container, place, size, caption, font,
// colours and initial state; keyboard order and focus; under the native and a classic style.
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

#include "app/app_info.h"
#include "app/elided_label.h"
#include "app/frm_step1.h"
#include "app/shape_widget.h"
#include "platform/scripted_ui_services.h"

namespace {

struct Control {
    const char* name;
    const char* container;   // "" = the window
    const char* caption;     // nullptr: no caption to check
    int left, top, width, height;   // twips
};

const Control kControls[] = {
    {"Shape2", "", nullptr, -120, 0, 8415, 855},
    {"lblTitle", "", "Zentra vCard Importer", 240, 120, 6255, 375},
    {"lblCopyright", "", "Copyright \u00A9 2026 Zentra vCard Importer developers", 240, 480, 6135, 255},
    {"cmdAdd", "", "Add vCard File(s)...", 240, 960, 1815, 375},
    {"CmdAddFolder", "", "Add Folder having vCard File(s)...", 2400, 960, 2775, 375},
    {"cmdClear1", "", "Clear File(s)...", 6240, 960, 1695, 375},
    {"lblCount1", "", "0 files", 270, 1560, 7695, 255},
    {"grdFiles1", "", nullptr, 240, 1800, 7695, 1575},
    {"FrameConversion", "", "Details", 240, 3480, 7695, 1815},
    {"LblCurrentDBX", "FrameConversion", "Converting Contacts...", 120, 240, 7455, 255},
    {"LblProgessCurrent", "FrameConversion", "Contact 0 (of 0)", 1800, 600, 5775, 255},
    {"Label2", "FrameConversion", "Current File Progress : ", 120, 960, 1695, 255},
    {"ProgressBar2", "FrameConversion", nullptr, 1800, 960, 5775, 255},
    {"Label1", "FrameConversion", "Overall Progress        : ", 120, 1320, 1695, 255},
    {"ProgressBar1", "FrameConversion", nullptr, 1800, 1320, 5775, 255},
    {"CmdExtractDBX", "", "Import &Contacts", 2880, 5520, 2415, 435},
    {"Shape1", "", nullptr, 0, 6120, 8415, 855},
    {"Picture3", "", nullptr, 240, 6240, 7695, 495},
    {"CmdHelp", "Picture3", "&Help Manual", 0, 0, 1695, 375},
    {"cmdEnd", "Picture3", "E&xit", 6360, 0, 1335, 375},
};

QString captionOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return {};
}

class WindowLayout : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<app::frmStep1>(ui, app::Commands{{}, {}, {}, [] {}, [] { return QString(); }, {}});
    }
    template <typename T = QWidget>
    T* find(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void expectEveryControlInPlace() {
        for (const Control& c : kControls) {
            SCOPED_TRACE(c.name);
            QWidget* w = find(c.name);
            ASSERT_NE(w, nullptr);
            QWidget* container = *c.container ? find(c.container) : window.get();
            EXPECT_EQ(w->parentWidget(), container);
            EXPECT_EQ(w->geometry(), QRect(c.left / 15, c.top / 15, c.width / 15, c.height / 15));
        }
    }

    platform::ScriptedUiServices ui;
    std::unique_ptr<app::frmStep1> window;
};

TEST_F(WindowLayout, WindowIsFixedCentredAndCaptioned) {
    EXPECT_EQ(window->windowTitle(), "Zentra vCard Importer (.vcf)");
    EXPECT_EQ(window->size(), QSize(543, 450));
    EXPECT_EQ(window->minimumSize(), QSize(543, 450));
    EXPECT_EQ(window->maximumSize(), QSize(543, 450));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - screen.center()).manhattanLength(), 2);
}

TEST_F(WindowLayout, EveryControlHasItsNameContainerPlaceAndSize) { expectEveryControlInPlace(); }

TEST_F(WindowLayout, CaptionsAreTheDesignTexts) {
    for (const Control& c : kControls) {
        if (!c.caption) continue;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(captionOf(find(c.name)), QString::fromUtf8(c.caption));
    }
    EXPECT_EQ(find<QLabel>("lblCopyright")->text(), app::copyrightLine());
}

TEST_F(WindowLayout, FontsAreTahomaWithABoldTitle) {
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.name);
        const QFont f = find(c.name)->font();
        EXPECT_EQ(f.family(), "Tahoma");
        if (QByteArray(c.name) == "lblTitle") {
            EXPECT_DOUBLE_EQ(f.pointSizeF(), 14.25);
            EXPECT_EQ(f.weight(), QFont::Bold);
        } else {
            EXPECT_DOUBLE_EQ(f.pointSizeF(), 8.25);
            EXPECT_EQ(f.weight(), QFont::Normal);
        }
    }
}

TEST_F(WindowLayout, InitialStateIsAnEmptyListWithImportDisabled) {
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(find(c.name)->isHidden());
        EXPECT_EQ(find(c.name)->isEnabled(), QByteArray(c.name) != "CmdExtractDBX");
    }
    auto& grid = window->grdFiles1();
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.cols(), 1);
    EXPECT_EQ(grid.fixedRows(), 0);
    EXPECT_EQ(grid.text(), "");
    EXPECT_EQ(grid.colWidth(0), 50000);
    EXPECT_TRUE(grid.horizontalHeader()->isHidden());
    EXPECT_TRUE(grid.verticalHeader()->isHidden());
    EXPECT_EQ(window->overallProgress().value(), 0.0f);
    EXPECT_EQ(window->overallProgress().max(), 100.0f);
    EXPECT_EQ(window->fileProgress().min(), 0.0f);
    EXPECT_EQ(find<QProgressBar>("ProgressBar1")->value(), 0);
    EXPECT_FALSE(window->importCommand().enabled());
    // No button answers Enter or Esc.
    for (auto* b : window->findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
        EXPECT_FALSE(b->autoDefault()) << b->objectName().toStdString();
    }
}

TEST_F(WindowLayout, ColoursOfBandsHeaderAndGrid) {
    auto* header = find<app::ShapeWidget>("Shape2");
    auto* footer = find<app::ShapeWidget>("Shape1");
    EXPECT_EQ(header->fillColor(), QColor(Qt::white));
    EXPECT_EQ(header->borderColor(), QColor(128, 128, 128));
    EXPECT_EQ(footer->fillColor(), QColor(Qt::white));
    EXPECT_EQ(footer->borderColor(), QColor(192, 192, 192));
    for (const char* name : {"lblTitle", "lblCopyright"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(find(name)->autoFillBackground());
        EXPECT_EQ(find(name)->palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_EQ(find(name)->palette().color(QPalette::WindowText), QColor(Qt::black));
    }
    EXPECT_EQ(find("Picture3")->palette().color(QPalette::Window), QColor(Qt::white));
    auto& grid = window->grdFiles1();
    EXPECT_EQ(grid.gridModel().data(grid.gridModel().index(0, 0), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 191));
    EXPECT_EQ(grid.palette().color(QPalette::Highlight), QColor(0, 0, 128));
    EXPECT_EQ(grid.palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(grid.gridLineColor(), QColor(192, 192, 192));
    // The bands lie beneath every other control.
    const auto children = window->children();
    EXPECT_EQ(children.indexOf(footer) + children.indexOf(header), 1);   // positions 0 and 1
}

TEST_F(WindowLayout, RendersHeaderBandAndGridColours) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage image = window->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(520, 20)), QColor(Qt::white));                       // header band right of the title
    EXPECT_EQ(QColor(image.pixel(300, 56)), QColor(128, 128, 128));                  // its grey lower border
    EXPECT_EQ(QColor(image.pixel(536, 440)), QColor(Qt::white));                      // footer band right of the panel
    EXPECT_EQ(QColor(image.pixel(300, 440)), QColor(Qt::white));                      // the white panel
    EXPECT_EQ(QColor(image.pixel(300, 408)), QColor(192, 192, 192));                 // its silver top border
}

TEST_F(WindowLayout, TabOrderAndFirstFocus) {
    const QStringList designed{"cmdAdd",       "cmdClear1",       "CmdAddFolder",  "grdFiles1",       "lblCount1",
                               "CmdExtractDBX", "Picture3",       "cmdEnd",        "lblTitle",        "lblCopyright",
                               "CmdHelp",      "FrameConversion", "ProgressBar1",  "LblProgessCurrent", "LblCurrentDBX",
                               "Label1",       "ProgressBar2",    "Label2"};
    QStringList chain;
    QWidget* w = find("cmdAdd");
    do {
        if (designed.contains(w->objectName()) && !chain.contains(w->objectName())) chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != find("cmdAdd"));
    EXPECT_EQ(chain, designed);
    for (const char* name : {"lblTitle", "lblCount1", "FrameConversion", "ProgressBar1", "Label1", "Picture3"})
        EXPECT_EQ(find(name)->focusPolicy(), Qt::NoFocus) << name;

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), find("cmdAdd"));
    // Tab walks the controls that take focus, skipping the disabled import button.
    QStringList walked;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(walked, (QStringList{"cmdClear1", "CmdAddFolder", "grdFiles1", "cmdEnd", "CmdHelp", "cmdAdd", "cmdClear1"}));
}

TEST(WindowStyles, GeometryIsTheSameUnderTheNativeAndTheClassicStyle) {
    const QString native = QApplication::style()->name();
    std::map<QString, QRect> nativeGeometry;
    platform::ScriptedUiServices ui;
    {
        app::frmStep1 window(ui, app::Commands{{}, {}, {}, [] {}, [] { return QString(); }, {}});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (const Control& c : kControls) nativeGeometry[c.name] = window.findChild<QWidget*>(c.name)->geometry();
    }
    QStyle* classic = QStyleFactory::create("Windows");
    ASSERT_NE(classic, nullptr);
    QApplication::setStyle(classic);
    {
        app::frmStep1 window(ui, app::Commands{{}, {}, {}, [] {}, [] { return QString(); }, {}});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.style()->name().toLower(), "windows");
        EXPECT_EQ(window.size(), QSize(543, 450));
        for (const auto& [name, rect] : nativeGeometry) {
            auto* w = window.findChild<QWidget*>(name);
            ASSERT_NE(w, nullptr) << name.toStdString();
            EXPECT_EQ(w->geometry(), rect) << name.toStdString();
        }
        // It works the same: the list takes a file and the label follows.
        window.fileList().AddFileToList("/a.vcf");
        EXPECT_EQ(window.countLabel().caption(), "1 files");
    }
    QApplication::setStyle(QStyleFactory::create(native));
}

// Runs `check` on a shown window under the named application style, then restores the style.
void underStyle(const char* style, const std::function<void(app::frmStep1&)>& check) {
    SCOPED_TRACE(style);
    const QString before = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(style));
    {
        platform::ScriptedUiServices ui;
        app::frmStep1 window(ui, app::Commands{{}, {}, {}, [] {}, [] { return QString(); }, {}});
        window.show();
        if (QTest::qWaitForWindowExposed(&window)) check(window);
        else ADD_FAILURE() << "window not exposed";
    }
    QApplication::setStyle(QStyleFactory::create(before));
}

TEST(StageLabel, ALongFolderLosesItsMiddleSoItsEndStaysVisible) {
    for (const char* style : {"Fusion", "Windows"}) {
        underStyle(style, [](app::frmStep1& window) {
            auto* label = window.findChild<app::ElidedLabel*>("LblCurrentDBX");
            ASSERT_NE(label, nullptr);
            const QString text = "Importing Contacts... from (tmp\\" + QString("a long folder name ").repeated(8) + "\\Ende)";
            window.stageLabel().setCaption(text);
            EXPECT_EQ(window.stageLabel().caption(), text);   // the caption keeps the whole text
            const QString shown = label->shownText();
            EXPECT_TRUE(shown.startsWith("Importing Contacts... from (tmp\\")) << shown.toStdString();
            EXPECT_TRUE(shown.endsWith(" \\Ende)")) << shown.toStdString();
            EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
            EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
            window.stageLabel().setCaption("Importing Contacts... from (tmp\\cards)");
            EXPECT_EQ(label->shownText(), "Importing Contacts... from (tmp\\cards)");
        });
    }
}

TEST(StageLabel, AccentedCapitalsAreWholeAndTheFrameLineRunsAboveThem) {
    for (const char* style : {"Fusion", "Windows"}) {
        underStyle(style, [](app::frmStep1& window) {
            window.stageLabel().setCaption(QString::fromUtf8("Importing Contacts... from (tmp\\ÄÖÜ Écoles Ñandú\\Zürich Büro)"));
            QWidget* label = window.findChild<QWidget*>("LblCurrentDBX");
            QWidget* frame = window.findChild<QWidget*>("FrameConversion");
            const QImage image = window.grab().toImage();
            const QRect box(label->mapTo(&window, QPoint(0, 0)), label->size());
            const int clearX = box.right() - 2;   // right of the text, left of the frame's side
            const QColor background = image.pixelColor(clearX, box.center().y());
            auto inkIn = [&](int y) {
                int dark = 0;
                for (int x = box.left(); x <= box.right(); ++x)
                    if (qGray(image.pixel(x, y)) < qGray(background.rgb()) - 80) ++dark;
                return dark;
            };
            // Nothing drawn reaches the label's top or bottom edge, where it would be cut off.
            EXPECT_EQ(inkIn(box.top()), 0);
            EXPECT_EQ(inkIn(box.bottom()), 0);
            int inkedRows = 0;
            for (int y = box.top(); y <= box.bottom(); ++y) inkedRows += inkIn(y) > 0;
            EXPECT_GE(inkedRows, 8);   // the text is there
            // Down the clear column, the last row that differs from the label's background (the
            // frame's top line) lies above the label.
            int lastLine = -1;
            for (int y = frame->mapTo(&window, QPoint(0, 0)).y(); y <= box.bottom(); ++y)
                if (image.pixelColor(clearX, y) != background) lastLine = y;
            EXPECT_GE(lastLine, 0) << "no frame line found";
            EXPECT_LT(lastLine, box.top());
        });
    }
}

}  // namespace
