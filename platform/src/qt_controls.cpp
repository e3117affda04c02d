#include "platform/qt_controls.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <cmath>

#include "zentra/error.h"

namespace platform {
namespace {

template <typename W>
W* live(const QPointer<W>& w) {
    if (!w) throw zentra::Error(zentra::kErrObjectRequired, "Object required");
    return w.data();
}

}  // namespace

QString LabelText::caption() const { return live(label_)->text(); }
void LabelText::setCaption(const QString& text) { live(label_)->setText(text); }

QString FrameText::caption() const { return live(frame_)->title(); }
void FrameText::setCaption(const QString& text) { live(frame_)->setTitle(text); }

bool WidgetEnabled::enabled() const { return live(widget_)->isEnabled(); }
void WidgetEnabled::setEnabled(bool on) { live(widget_)->setEnabled(on); }

ProgressBarControl::ProgressBarControl(QProgressBar* bar) : bar_(bar) {
    live(bar_)->setRange(0, kDisplaySteps);
    show();
}

// Values are kept as set, as the memory-backed bar keeps them; the display clamps a value
// outside the range to the nearer end.
void ProgressBarControl::setMin(float v) {
    min_ = v;
    show();
}

void ProgressBarControl::setMax(float v) {
    max_ = v;
    show();
}

void ProgressBarControl::setValue(float v) {
    value_ = v;
    show();
}

void ProgressBarControl::show() {
    const double span = static_cast<double>(max_) - min_;
    double share = span > 0 ? (static_cast<double>(value_) - min_) / span : 0.0;
    if (!(share >= 0)) share = 0;   // also NaN
    if (share > 1) share = 1;
    live(bar_)->setValue(static_cast<int>(std::lround(share * kDisplaySteps)));
}

}  // namespace platform
