#pragma once
// XPStyle: a small reusable control that any window can carry. While an instance lives it
// keeps the desktop's shell-services library loaded (on Linux the library the desktop opens
// addresses with), and it stays 54 x 54 pixels (810 x 810 twips) whatever its container asks.
#include <QWidget>

namespace app {

class XPStyle : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSidePixels = 54;
    static constexpr const char* kShellLibrary = "libgio-2.0.so.0";

    // `library` is the shared library to keep loaded; the default is the shell library.
    explicit XPStyle(QWidget* parent = nullptr, const char* library = kShellLibrary);
    ~XPStyle() override;

    XPStyle(const XPStyle&) = delete;
    XPStyle& operator=(const XPStyle&) = delete;

    void* libraryHandle() const { return library_; }   // null when loading failed
    QSize sizeHint() const override { return {kSidePixels, kSidePixels}; }

    // The classic handlers, run by the constructor, resizeEvent and the destructor.
    void UserControl_Initialize(const char* library);
    void UserControl_Resize();
    void UserControl_Terminate();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void* library_ = nullptr;
};

}  // namespace app
