#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

#include "platform/qt_controls.h"
#include "zentra/error.h"

namespace {

using platform::ProgressBarControl;

TEST(ProgressBarControl, KeepsSinglePrecisionValuesAsSet) {
    QProgressBar bar;
    ProgressBarControl control(&bar);
    EXPECT_EQ(control.min(), 0.0f);
    EXPECT_EQ(control.max(), 100.0f);
    EXPECT_EQ(control.value(), 0.0f);
    control.setValue(33.3f);
    EXPECT_EQ(control.value(), 33.3f);   // not rounded to the bar's integer steps
}

TEST(ProgressBarControl, BarShowsTheFilledShare) {
    QProgressBar bar;
    ProgressBarControl control(&bar);
    control.setValue(12.5f);
    EXPECT_EQ(bar.value(), 1250);
    EXPECT_EQ(bar.maximum(), ProgressBarControl::kDisplaySteps);
    control.setMin(10);
    control.setMax(20);
    control.setValue(15);
    EXPECT_EQ(bar.value(), 5000);
}

TEST(ProgressBarControl, OutOfRangeAndEmptyRangesAreShownClamped) {
    QProgressBar bar;
    ProgressBarControl control(&bar);
    control.setValue(150);
    EXPECT_EQ(bar.value(), 10000);
    EXPECT_EQ(control.value(), 150.0f);
    control.setValue(-5);
    EXPECT_EQ(bar.value(), 0);
    control.setMax(0);   // Max == Min: nothing to fill, no division by zero
    EXPECT_EQ(bar.value(), 0);
}

TEST(TextAndEnabledAdapters, ReachTheWidgetsAndFailOnceTheyAreGone) {
    auto* label = new QLabel("0 files");
    platform::LabelText text(label);
    text.setCaption("3 files");
    EXPECT_EQ(label->text(), "3 files");
    delete label;
    EXPECT_THROW(text.caption(), zentra::Error);
}

}  // namespace
