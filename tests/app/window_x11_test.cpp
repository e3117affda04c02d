// The window program on a real X server, started here on a free display: the titles a window
// manager reads (_NET_WM_NAME) for the window and its Exit box, and Exit -> Yes ending the
// program. Skips when Xvfb, xdotool or xprop is not installed.
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>
#include <string>
#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 10000;

class RealXServer : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xprop"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
        // -displayfd: the server takes the first free display and writes its number to fd 1.
        xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        ASSERT_TRUE(xvfb_.waitForStarted(kWaitMs));
        QElapsedTimer clock;
        clock.start();
        while (!xvfb_.canReadLine() && clock.elapsed() < kWaitMs) xvfb_.waitForReadyRead(100);
        const QString number = QString::fromLatin1(xvfb_.readLine()).trimmed();
        ASSERT_FALSE(number.isEmpty()) << "Xvfb did not start: " << xvfb_.readAllStandardError().toStdString();
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", ":" + number);
        env_.insert("QT_QPA_PLATFORM", "xcb");
    }

    void TearDown() override {
        for (QProcess* p : {&program_, &xvfb_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(kWaitMs)) {
                p->kill();
                p->waitForFinished(kWaitMs);
            }
        }
    }

    // Runs an X tool against the server and returns its output; a tool that hangs is killed.
    QString tool(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start(program, args);
        if (!p.waitForFinished(kWaitMs)) {
            p.kill();
            p.waitForFinished(kWaitMs);
            ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << " did not finish";
        }
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    // The program's mapped windows, once there are `count` of them (or what there is after the wait).
    QStringList windows(int count) {
        QStringList found;
        QElapsedTimer clock;
        clock.start();
        do {
            found = tool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(program_.processId())})
                        .split('\n', Qt::SkipEmptyParts);
            if (found.size() >= count) break;
            QThread::msleep(50);
        } while (clock.elapsed() < kWaitMs);
        return found;
    }

    // The title as the window manager reads it: `_NET_WM_NAME = "..."`.
    std::string netWmName(const QString& window) {
        const QString line = tool("xprop", {"-id", window, "-notype", "_NET_WM_NAME"});
        const qsizetype open = line.indexOf('"'), close = line.lastIndexOf('"');
        return (open >= 0 && close > open ? line.mid(open + 1, close - open - 1) : "(no title: " + line + ")").toStdString();
    }

    QProcess xvfb_, program_;
    QProcessEnvironment env_;
};

TEST_F(RealXServer, WindowAndExitBoxCarryExactlyTheirOwnTitlesAndYesEndsTheProgram) {
    program_.setProcessEnvironment(env_);
    program_.start(ZENTRA_WINDOW_PROGRAM, {});
    ASSERT_TRUE(program_.waitForStarted(kWaitMs));
    const QStringList main = windows(1);
    ASSERT_EQ(main.size(), 1) << "the window did not appear";
    EXPECT_EQ(netWmName(main[0]), "Zentra vCard Importer (.vcf)");

    // No window manager runs here, so the keyboard focus is given by hand; Alt+X is Exit.
    tool("xdotool", {"windowfocus", "--sync", main[0], "key", "alt+x"});
    QStringList both = windows(2);
    both.removeAll(main[0]);
    ASSERT_EQ(both.size(), 1) << "the Exit box did not appear";
    EXPECT_EQ(netWmName(both[0]), "Zentra vCard Importer");

    QElapsedTimer sinceYes;
    sinceYes.start();
    tool("xdotool", {"windowfocus", "--sync", both[0], "key", "Return"});   // Yes is the default button
    ASSERT_TRUE(program_.waitForFinished(kWaitMs)) << "the program did not end after Yes";
    std::printf("Exit -> Yes: the program ended within %lld ms of the key press\n", static_cast<long long>(sinceYes.elapsed()));
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.exitCode(), 0);
}

}  // namespace
