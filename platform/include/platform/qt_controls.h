#pragma once
// The window's Qt widgets as the control members the commands use.
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QWidget>

#include "platform/controls.h"

namespace platform {

class LabelText : public TextControl {
public:
    explicit LabelText(QLabel* label) : label_(label) {}
    QString caption() const override;
    void setCaption(const QString& text) override;

private:
    QPointer<QLabel> label_;
};

class FrameText : public TextControl {
public:
    explicit FrameText(QGroupBox* frame) : frame_(frame) {}
    QString caption() const override;
    void setCaption(const QString& text) override;

private:
    QPointer<QGroupBox> frame_;
};

class WidgetEnabled : public EnabledControl {
public:
    explicit WidgetEnabled(QWidget* widget) : widget_(widget) {}
    bool enabled() const override;
    void setEnabled(bool on) override;

private:
    QPointer<QWidget> widget_;
};

// Min, Max and Value as single-precision values, as set; the bar shows the filled share
// (Value - Min) / (Max - Min) in steps of 1/10000, clamped to the bar.
class ProgressBarControl : public ProgressControl {
public:
    static constexpr int kDisplaySteps = 10000;

    explicit ProgressBarControl(QProgressBar* bar);
    float min() const override { return min_; }
    void setMin(float v) override;
    float max() const override { return max_; }
    void setMax(float v) override;
    float value() const override { return value_; }
    void setValue(float v) override;

private:
    void show();

    QPointer<QProgressBar> bar_;
    float min_ = 0, max_ = 100, value_ = 0;
};

}  // namespace platform
