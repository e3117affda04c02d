#pragma once
// Keeps a yield inside a long loop cheap: input and other events are delivered on every
// yield, but a window is repainted (and an item view laid out) at most once per interval. A repaint that falls inside
// the interval is held back and delivered on a later yield, or by a timer once the loop
// returns to the event loop, so nothing stays unpainted.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

namespace platform {

class RepaintThrottle : public QObject {
    Q_OBJECT
public:
    explicit RepaintThrottle(int intervalMs = 16, QObject* parent = nullptr);
    ~RepaintThrottle() override;

    // Processes pending events once, with repaints coalesced as above.
    void processEventsOnce();

    int heldBackCount() const { return heldBack_; }   // repaints deferred so far

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void releaseHeld();

    int intervalMs_;
    bool filtering_ = false;
    int loopLevel_ = 0;   // event loops running when the pass began
    int heldBack_ = 0;
    QElapsedTimer sinceRepaint_;
    QVector<QPointer<QObject>> held_;
    QTimer releaseTimer_;
};

}  // namespace platform
