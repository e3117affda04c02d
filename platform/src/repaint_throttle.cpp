#include "platform/repaint_throttle.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace platform {

RepaintThrottle::RepaintThrottle(int intervalMs, QObject* parent) : QObject(parent), intervalMs_(intervalMs) {
    releaseTimer_.setSingleShot(true);
    connect(&releaseTimer_, &QTimer::timeout, this, &RepaintThrottle::releaseHeld);
}

RepaintThrottle::~RepaintThrottle() {
    if (filtering_ && QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void RepaintThrottle::processEventsOnce() {
    auto* app = QCoreApplication::instance();
    if (!app) return;
    const bool repaintDue = !sinceRepaint_.isValid() || sinceRepaint_.elapsed() >= intervalMs_;
    if (repaintDue) {
        releaseHeld();               // earlier held-back repaints go out with this pass
        sinceRepaint_.start();
        QCoreApplication::processEvents();
        return;
    }
    filtering_ = true;
    loopLevel_ = QThread::currentThread()->loopLevel();
    app->installEventFilter(this);
    QCoreApplication::processEvents();
    app->removeEventFilter(this);
    filtering_ = false;
    if (!held_.isEmpty()) releaseTimer_.start(intervalMs_);
}

bool RepaintThrottle::eventFilter(QObject* watched, QEvent* event) {
    // An event handled in this pass may open a modal dialog with an event loop of its own;
    // that dialog, and the window behind it, must paint as usual.
    if (filtering_ && QThread::currentThread()->loopLevel() != loopLevel_) {
        if (!held_.isEmpty()) releaseHeld();
        return QObject::eventFilter(watched, event);
    }
    // The widget repaint manager asks for a repaint with one UpdateRequest per window and
    // posts no second one until it is delivered: holding it back holds back the repaint.
    if (filtering_ && event->type() == QEvent::UpdateRequest && watched->isWidgetType()) {
        if (!held_.contains(watched)) held_.append(watched);
        ++heldBack_;
        return true;
    }
    // An item view lays its rows out again from a zero-time timer after rows were added; on a
    // long list that pass is as costly as a repaint. Its timer keeps running until the view
    // has done the pass, so a skipped tick simply comes again on a later pass.
    if (filtering_ && event->type() == QEvent::Timer && qobject_cast<QAbstractItemView*>(watched)) {
        ++heldBack_;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void RepaintThrottle::releaseHeld() {
    releaseTimer_.stop();
    const auto held = std::exchange(held_, {});
    for (const QPointer<QObject>& target : held)
        if (target) QCoreApplication::postEvent(target, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

}  // namespace platform
