#pragma once
// A UiServices for tests: every dialog answers from a queue that the test fills, and every
// box, dialog setting, pointer change and yield is recorded for the test to assert on.
// A question nobody scripted an answer for throws, so a forgotten dialog fails loudly.
#include <QStringList>
#include <deque>
#include <functional>
#include <stdexcept>
#include <variant>
#include <vector>

#include "platform/ui_services.h"
#include "zentra/error.h"

namespace platform {

class ScriptedCommonDialog : public CommonDialog {
public:
    // Each entry answers one showOpen(): a selection text ("" = cancel), or an error number
    // that showOpen() raises (e.g. 20476).
    std::deque<std::variant<QString, long>> answers;
    QStringList log;          // "FileName=", "Filter=...", "Flags=524800", "MaxFileSize=1000", "ShowOpen"
    int filesHint = 20;

    void setFileName(const QString& name) override { log << "FileName=" + name; fileName_ = name; }
    QString fileName() const override { return fileName_; }
    void setFilter(const QString& filter) override { log << "Filter=" + filter; }
    void setFlags(long flags) override { log << "Flags=" + QString::number(flags); }
    void setMaxFileSize(int characters) override { log << "MaxFileSize=" + QString::number(characters); }
    void showOpen() override {
        log << "ShowOpen";
        if (answers.empty()) throw std::logic_error("unscripted open dialog");
        auto next = answers.front();
        answers.pop_front();
        if (auto* err = std::get_if<long>(&next)) throw zentra::Error(*err, "scripted dialog error");
        fileName_ = std::get<QString>(next);
    }
    int maxFilesHint() const override { return filesHint; }

private:
    QString fileName_;
};

class ScriptedUiServices : public UiServices {
public:
    struct Box {
        QString prompt;
        int style = 0;
        QString title;
    };

    std::deque<int> msgBoxAnswers;        // answers to boxes that ask (Yes/No, OK/Cancel)
    std::vector<Box> boxes;               // every box shown, in order
    ScriptedCommonDialog dialog;
    std::deque<QString> folderAnswers;    // answers to chooseFolder ("" = cancel)
    QStringList folderTitles;
    std::vector<int> pointerLog;          // every pointer set, in order
    int doEventsCount = 0;
    std::function<void()> onDoEvents;     // runs inside doEvents(), e.g. to click mid-run
    QStringList openedUrls;
    bool openUrlSucceeds = true;
    QString notOpenedReason = QStringLiteral("scripted: nothing opens documents");

    int msgBox(const QString& prompt, int style, const QString& title) override {
        boxes.push_back({prompt, style, title});
        const int buttons = style & 7;
        if (buttons == vbOKOnly) return vbOK;
        if (msgBoxAnswers.empty()) throw std::logic_error("unscripted question: " + prompt.toStdString());
        int answer = msgBoxAnswers.front();
        msgBoxAnswers.pop_front();
        return answer;
    }
    CommonDialog& fileDialog() override { return dialog; }
    QString chooseFolder(QWidget*, const QString& title) override {
        folderTitles << title;
        if (folderAnswers.empty()) throw std::logic_error("unscripted folder dialog: " + title.toStdString());
        QString answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
    void setMousePointer(int pointer) override { pointerLog.push_back(pointer); pointer_ = pointer; }
    int mousePointer() const override { return pointer_; }
    void doEvents() override {
        ++doEventsCount;
        if (onDoEvents) onDoEvents();
    }
    bool openUrl(const QString& target) override {
        openedUrls << target;
        return openUrlSucceeds;
    }
    QString whyNotOpened(const QString&) const override { return notOpenedReason; }

private:
    int pointer_ = vbDefault;
};

}  // namespace platform
