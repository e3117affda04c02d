#pragma once
// The real UiServices: Qt message boxes, file and folder dialogs, the override cursor,
// one pass of the event loop, and the desktop's default handlers.
#include "platform/qt_common_dialog.h"
#include "platform/repaint_throttle.h"
#include "platform/ui_services.h"

namespace platform {

class QtUiServices : public UiServices {
public:
    int msgBox(const QString& prompt, int style, const QString& title) override;
    CommonDialog& fileDialog() override { return dialog_; }
    QString chooseFolder(QWidget* owner, const QString& title) override;
    void setMousePointer(int pointer) override;
    int mousePointer() const override { return pointer_; }
    void doEvents() override { throttle_.processEventsOnce(); }
    // A document that does not exist is not handed to the launcher, which would fail unseen.
    bool openUrl(const QString& target) override;
    // The document is missing, the desktop has no launcher (xdg-open), or it did not start.
    QString whyNotOpened(const QString& target) const override;

private:
    QtCommonDialog dialog_;
    RepaintThrottle throttle_;
    int pointer_ = vbDefault;
};

// A document path or a web address as a URL: paths become file URLs.
QUrl urlForTarget(const QString& target);

}  // namespace platform
