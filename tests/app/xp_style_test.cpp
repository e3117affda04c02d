#include <QHBoxLayout>
#include <QTest>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "app/xp_style.h"

namespace {

using app::XPStyle;

// Whether `library` is loaded in this process. dlopen with RTLD_NOLOAD loads nothing; it only
// finds a loaded library (and counts one more reference, released at once).
bool isLoaded(const char* library) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);
    return true;
}

const char* probe() { return ZENTRA_XP_STYLE_PROBE; }

TEST(XPStyle, StaysFiftyFourPixelsSquareWhateverItsContainerAsks) {
    XPStyle control;
    EXPECT_EQ(control.size(), QSize(54, 54));
    for (QSize asked : {QSize(200, 100), QSize(10, 10), QSize(54, 300), QSize(0, 0)}) {
        control.resize(asked);
        EXPECT_EQ(control.size(), QSize(54, 54)) << asked.width() << "x" << asked.height();
    }
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    control.setGeometry(5, 5, 400, 20);
    EXPECT_EQ(control.size(), QSize(54, 54));
    control.UserControl_Resize();
    EXPECT_EQ(control.size(), QSize(54, 54));
    EXPECT_EQ(control.width() * 15, 810);
}

TEST(XPStyle, KeepsItsSizeInALayoutThatStretches) {
    QWidget container;
    auto* layout = new QHBoxLayout(&container);
    auto* control = new XPStyle;
    layout->addWidget(control);
    container.resize(600, 400);
    container.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&container));
    EXPECT_EQ(control->size(), QSize(54, 54));
    container.resize(100, 30);
    QTest::qWait(20);
    EXPECT_EQ(control->size(), QSize(54, 54));
}

TEST(XPStyle, LoadsTheShellLibraryAndKeepsItsHandle) {
    XPStyle control;
    ASSERT_NE(control.libraryHandle(), nullptr) << dlerror();
    EXPECT_TRUE(isLoaded(XPStyle::kShellLibrary));
    void* again = dlopen(XPStyle::kShellLibrary, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(again, control.libraryHandle());   // the same library, not a copy
    dlclose(again);
}

TEST(XPStyle, EachInstanceReleasesWhatItLoadedSoTheCountReturns) {
    // The shell library is marked never to unload, so its count cannot be watched going back
    // to zero; the probe library has the same load and release path and can.
    ASSERT_FALSE(isLoaded(probe()));
    {
        auto first = std::make_unique<XPStyle>(nullptr, probe());
        ASSERT_NE(first->libraryHandle(), nullptr) << dlerror();
        EXPECT_TRUE(isLoaded(probe()));
        {
            XPStyle second(nullptr, probe());
            EXPECT_EQ(second.libraryHandle(), first->libraryHandle());
        }
        EXPECT_TRUE(isLoaded(probe()));   // the second release left the first one's load
        first.reset();
        EXPECT_FALSE(isLoaded(probe()));  // back to where it was before: not loaded
    }
    // Repeated creation does not accumulate references.
    for (int i = 0; i < 20; ++i) XPStyle(nullptr, probe());
    EXPECT_FALSE(isLoaded(probe()));
}

TEST(XPStyle, AFailedLoadLeavesANullHandleAndNothingToRelease) {
    XPStyle control(nullptr, "libzentra-no-such-library.so.0");
    EXPECT_EQ(control.libraryHandle(), nullptr);
}

}  // namespace
