#include "core/regsettings.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QSettings>
#include <gtest/gtest.h>

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        gRegSettings().SetCompany(QStringLiteral("Veltra"));
        gRegSettings().SetAppName(QStringLiteral("Korvan"));
        TestEnv::ClearSettings();
    }
    FakePrompter prompts;
};

TEST_F(SettingsStore, RoundTripsTextsAsTheyAre)
{
    EXPECT_TRUE(gRegSettings().SaveSetting("Config", "Autoload", "-1"));
    EXPECT_EQ(gRegSettings().GetSetting("Config", "Autoload", "x"), QStringLiteral("-1"));
    const QString longText(5000, QLatin1Char('k'));
    EXPECT_TRUE(gRegSettings().SaveSetting("Config", "Long", longText));
    EXPECT_EQ(gRegSettings().GetSetting("Config", "Long", ""), longText);
    EXPECT_TRUE(gRegSettings().SaveSetting("Window", "MainLeft", "  12 "));
    EXPECT_EQ(Utilities::GetSetting("Window", "MainLeft", "0"), QStringLiteral("  12 "));
}

TEST_F(SettingsStore, EmptyValueReadsAsDefaultThroughTheWrapperOnly)
{
    Utilities::SaveSetting("Config", "NumRecents", "");
    EXPECT_EQ(gRegSettings().GetSetting("Config", "NumRecents", "6"), QString());
    EXPECT_EQ(Utilities::GetSetting("Config", "NumRecents", "6"), QStringLiteral("6"));
}

TEST_F(SettingsStore, MissingSectionGivesDefaultWithoutCreatingIt)
{
    EXPECT_EQ(gRegSettings().GetSetting("Never", "Key", "dflt"), QStringLiteral("dflt"));
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Veltra", "Korvan");
    EXPECT_FALSE(raw.childGroups().contains("Never"));
}

TEST_F(SettingsStore, StarIsTheSectionDefaultValue)
{
    EXPECT_TRUE(gRegSettings().SaveSetting("RecentFileList", "*", "default text"));
    EXPECT_EQ(gRegSettings().GetSetting("RecentFileList", "*", ""), QStringLiteral("default text"));
    EXPECT_EQ(gRegSettings().GetSetting("RecentFileList", "1", "none"), QStringLiteral("none"));
    EXPECT_TRUE(gRegSettings().DeleteSetting("RecentFileList", "*"));
    EXPECT_EQ(gRegSettings().GetSetting("RecentFileList", "*", "gone"), QStringLiteral("gone"));
}

TEST_F(SettingsStore, DeleteValueAndSection)
{
    Utilities::SaveSetting("RecentFileList", "1", "/a.kvp");
    Utilities::SaveSetting("RecentFileList", "2", "/b.kvp");
    Utilities::SaveSetting("Config", "Autoload", "True");
    EXPECT_TRUE(gRegSettings().DeleteSetting("RecentFileList", "1"));
    EXPECT_FALSE(gRegSettings().DeleteSetting("RecentFileList", "1"));
    EXPECT_EQ(Utilities::GetSetting("RecentFileList", "2", ""), QStringLiteral("/b.kvp"));
    Utilities::DeleteSetting("RecentFileList", "");
    EXPECT_EQ(Utilities::GetSetting("RecentFileList", "2", "none"), QStringLiteral("none"));
    EXPECT_EQ(Utilities::GetSetting("Config", "Autoload", ""), QStringLiteral("True"));
}

TEST_F(SettingsStore, EmptySectionAndKeyNeverEraseEverything)
{
    Utilities::SaveSetting("Config", "Autoload", "True");
    EXPECT_FALSE(gRegSettings().DeleteSetting("", ""));
    Utilities::DeleteSetting("  ", "");
    EXPECT_EQ(Utilities::GetSetting("Config", "Autoload", ""), QStringLiteral("True"));
}

TEST_F(SettingsStore, CompanyAndApplicationNames)
{
    gRegSettings().SetCompany(QStringLiteral("  Veltra  "));
    EXPECT_EQ(gRegSettings().Company(), QStringLiteral("Veltra"));
    gRegSettings().SetCompany(QString());
    EXPECT_EQ(gRegSettings().Company(), CRegSettings::DefaultCompany());
    gRegSettings().SetAppName(QString());
    EXPECT_EQ(gRegSettings().AppName(), CRegSettings::DefaultAppName());

    // Values land in one section per group under Veltra/Korvan.
    gRegSettings().SetCompany(QStringLiteral("Veltra"));
    gRegSettings().SetAppName(QStringLiteral("Korvan"));
    Utilities::SaveSetting("Window", "MainTop", "40");
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Veltra", "Korvan");
    EXPECT_EQ(raw.value("Window/MainTop").toString(), QStringLiteral("40"));
}
