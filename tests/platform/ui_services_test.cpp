// QtUiServices apart from its dialogs: the pointer, one pass of the event loop, and targets.
#include <QApplication>
#include <QElapsedTimer>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "platform/flex_grid_widget.h"
#include "platform/qt_ui_services.h"

namespace {

using namespace platform;
using platform::FlexGridWidget;

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class EventCounter : public QObject {
public:
    int received = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++received;
            return true;
        }
        return QObject::event(e);
    }
};

TEST(QtUiServicesPointer, HourglassIsOneOverrideUntilSetBack) {
    QtUiServices ui;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    ui.setMousePointer(vbHourglass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(ui.mousePointer(), vbHourglass);
    ui.setMousePointer(vbHourglass);   // a setting, not a stack
    ui.setMousePointer(vbDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ui.mousePointer(), vbDefault);
    ui.setMousePointer(vbDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUiServicesDoEvents, DeliversPendingEventsOnEveryCall) {
    QtUiServices ui;
    EventCounter receiver;
    for (int i = 1; i <= 200; ++i) {
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        ui.doEvents();
        ASSERT_EQ(receiver.received, i) << "event of pass " << i << " waited";
    }
}

TEST(QtUiServicesDoEvents, RepaintsAreCoalescedButNoneIsLost) {
    PaintCounter widget;
    widget.resize(100, 50);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTest::qWait(50);
    QtUiServices ui;
    widget.paints = 0;
    QElapsedTimer clock;
    clock.start();
    const int passes = 2000;
    for (int i = 0; i < passes; ++i) {
        widget.update();
        ui.doEvents();
    }
    const qint64 elapsed = clock.elapsed();
    // At most one repaint per 16 ms interval (plus the first), far fewer than the passes.
    EXPECT_LE(widget.paints, elapsed / 16 + 2) << "paints " << widget.paints << " in " << elapsed << " ms";
    // The last update is painted once control is back in the event loop.
    const int before = widget.paints;
    QTest::qWait(60);
    EXPECT_GT(widget.paints, before);
}

TEST(QtUiServicesDoEvents, AListGrownBetweenYieldsIsLaidOutInTheEnd) {
    // Item-view layout passes are held back like repaints; none may be lost.
    FlexGridWidget grid;
    grid.resize(200, 160);   // ten rows of 16 pixels
    grid.setFrameShape(QFrame::NoFrame);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QtUiServices ui;
    for (int i = 0; i < 3000; ++i) {
        grid.setRows(grid.rows() + 1);
        ui.doEvents();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid.verticalScrollBar()->maximum() >= 3001 - 10; }, 2000))
        << "scroll range " << grid.verticalScrollBar()->maximum();
}

// Asks for a repaint after its first paint (shown windows paint first on exposure, later on
// update requests) and accepts itself once repainted; rejects itself if it never is.
class PaintedDialog : public QDialog {
public:
    PaintedDialog() {
        resize(120, 60);
        QTimer::singleShot(3000, this, &QDialog::reject);
    }
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        if (++paints == 1) update();
        else if (paints == 2) QTimer::singleShot(0, this, &QDialog::accept);
    }
};

class DialogOpener : public QObject {
public:
    int result = -1;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) return QObject::event(e);
        PaintedDialog dialog;
        result = dialog.exec();
        return true;
    }
};

TEST(RepaintThrottle, AModalDialogOpenedDuringAHeldBackPassStillPaints) {
    PaintCounter window;
    window.resize(100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    RepaintThrottle throttle(60000);   // every pass after the first holds repaints back
    throttle.processEventsOnce();
    DialogOpener opener;
    window.update();
    QCoreApplication::postEvent(&opener, new QEvent(QEvent::User));
    throttle.processEventsOnce();
    EXPECT_EQ(opener.result, QDialog::Accepted) << "the dialog was never repainted";
}

TEST(QtUiServicesTargets, PathsBecomeFileUrlsAndAddressesStay) {
    EXPECT_EQ(urlForTarget("https://example.org/help"), QUrl("https://example.org/help"));
    EXPECT_EQ(urlForTarget("/usr/share/doc/x/manual.html"), QUrl::fromLocalFile("/usr/share/doc/x/manual.html"));
    EXPECT_EQ(urlForTarget("file:///tmp/a b.html").toLocalFile(), "/tmp/a b.html");
    EXPECT_TRUE(urlForTarget("C:\\Help\\manual.html").isLocalFile());
    QtUiServices ui;
    EXPECT_FALSE(ui.openUrl(""));
}

TEST(QtUiServicesTargets, AMissingDocumentIsNotHandedOnAndTheReasonSaysSo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("manual.html");
    QtUiServices ui;
    EXPECT_FALSE(ui.openUrl(missing));
    EXPECT_FALSE(ui.openUrl(QUrl::fromLocalFile(missing).toString()));
    EXPECT_EQ(ui.whyNotOpened(missing), "The file does not exist.");
}

TEST(QtUiServicesTargets, WithoutXdgOpenTheReasonNamesIt) {
    // An existing document on a PATH that holds no launcher; nothing is opened here.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile manual(dir.filePath("manual.html"));
    ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
    manual.close();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()));
    const QString reason = QtUiServices().whyNotOpened(manual.fileName());
    qputenv("PATH", path);
    EXPECT_EQ(reason, "No program to open it was found: xdg-open (package xdg-utils) is not installed.");
}

}  // namespace
