#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QUrl>
#include <gtest/gtest.h>

#include "app/app_info.h"

namespace {

TEST(AppInfo, NameVersionAndDescriptionAreSetAtRunTime) {
    app::applyApplicationInfo();
    EXPECT_EQ(QCoreApplication::applicationName(), "Zentra vCard Importer");
    EXPECT_EQ(QCoreApplication::applicationVersion(), "4.01");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Zentra vCard Importer");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "io.zentra.VCardImporter");
    EXPECT_STREQ(app::kNumericVersion, "4.1.0.0");
    EXPECT_STREQ(app::kDescription, "Import vCard Contacts to Outlook");
}

TEST(AppInfo, HelpIsTheManualBesideTheProgramAsAFileUrl) {
    const QString expected =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/doc/zentra-vcard-importer/manual.html");
    EXPECT_EQ(app::helpManualPath(), expected);
    const QUrl url(app::helpManualTarget());
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), expected);
}

TEST(AppInfo, CopyrightLineNamesTheProductAndYear) {
    EXPECT_EQ(app::copyrightLine(), QString::fromUtf8("Copyright \u00A9 2026 Zentra vCard Importer developers"));
}

}  // namespace
