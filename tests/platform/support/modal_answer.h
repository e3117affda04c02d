#pragma once
// Answers the next modal dialog from a timer, so a test can drive the real Qt dialogs: the
// callback sees the dialog as the user would and closes it. A dialog nobody answers is
// closed after a few seconds so the test fails instead of hanging.
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace testsupport {

// Polls for a modal widget of type T and hands it to `answer` once it is shown.
template <typename T>
void answerNextModal(std::function<void(T*)> answer, int giveUpMs = 5000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer, giveUpMs] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal && modal->isVisible()) {
            timer->stop();
            QPointer<T> answered(modal);
            answer(modal);
            // Should the answer not close it (a nested warning came up instead), close what
            // is on top of it and then the dialog itself, so the test fails but ends.
            QTimer::singleShot(giveUpMs, [answered] {
                if (!answered || !answered->isVisible()) return;
                while (auto* top = QApplication::activeModalWidget()) {
                    if (top == answered) break;
                    qWarning("closing an unanswered %s on top: %s", top->metaObject()->className(),
                             qPrintable(top->property("text").toString()));
                    top->close();
                }
                answered->close();
            });
        } else if (clock->elapsed() > giveUpMs) {
            timer->stop();
            if (auto* any = QApplication::activeModalWidget()) any->close();
        } else {
            return;
        }
        timer->deleteLater();
        delete clock;
    });
    timer->start();
}

}  // namespace testsupport
