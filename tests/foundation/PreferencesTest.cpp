#include <gtest/gtest.h>
#include <QFile>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"

using zorbel::Preferences;

TEST(Preferences, LivesInTheTestsOwnConfigFolderAndSurvivesReopening) {
    zorbel::test::TempXdg xdg;
    auto prefs = Preferences::standard();
    EXPECT_EQ(prefs->filePath(), xdg.configHome() + QStringLiteral("/com.zorbel.app.conf"));
    prefs->setValue(QStringLiteral("llm.provider"), QStringLiteral("ollama"));
    prefs->setValue(QStringLiteral("ui.ballOpacity"), 0.75);
    prefs->setValue(QStringLiteral("onboarding.version"), 2);
    prefs->setValue(QStringLiteral("defaults.migratedFromPinwave"), true);
    prefs->sync();
    ASSERT_TRUE(QFile::exists(prefs->filePath()));

    // Another process (or the next launch) reads the file back as text: the typed readers must
    // give the same answers.
    Preferences reopened(QStringLiteral("com.zorbel.app"));
    EXPECT_EQ(reopened.string(QStringLiteral("llm.provider")), QStringLiteral("ollama"));
    EXPECT_DOUBLE_EQ(reopened.number(QStringLiteral("ui.ballOpacity")).value(), 0.75);
    EXPECT_EQ(reopened.integer(QStringLiteral("onboarding.version")), 2);
    EXPECT_TRUE(reopened.boolean(QStringLiteral("defaults.migratedFromPinwave")));
    EXPECT_TRUE(reopened.allKeys().contains(QStringLiteral("llm.provider")));
}

TEST(Preferences, AbsentOrWrongTypedValuesReadAsNothing) {
    zorbel::test::TempXdg xdg;
    Preferences prefs(QStringLiteral("com.zorbel.app"));
    EXPECT_FALSE(prefs.string(QStringLiteral("missing")).has_value());
    EXPECT_FALSE(prefs.boolean(QStringLiteral("missing")));
    EXPECT_FALSE(prefs.integer(QStringLiteral("missing")).has_value());
    prefs.setValue(QStringLiteral("ui.skin"), QStringLiteral("not a number"));
    EXPECT_FALSE(prefs.number(QStringLiteral("ui.skin")).has_value());
    EXPECT_FALSE(prefs.integer(QStringLiteral("ui.skin")).has_value());
    EXPECT_FALSE(prefs.boolean(QStringLiteral("ui.skin")));
    prefs.setValue(QStringLiteral("ui.skin"), QStringLiteral("aurora"));
    prefs.remove(QStringLiteral("ui.skin"));
    EXPECT_FALSE(prefs.contains(QStringLiteral("ui.skin")));
}

TEST(Preferences, EachTestGetsAFreshStandardStore) {
    QString firstPath;
    {
        zorbel::test::TempXdg xdg;
        Preferences::standard()->setValue(QStringLiteral("user.persona"), QStringLiteral("x"));
        firstPath = Preferences::standard()->filePath();
    }
    zorbel::test::TempXdg other;
    EXPECT_NE(Preferences::standard()->filePath(), firstPath);
    EXPECT_FALSE(Preferences::standard()->contains(QStringLiteral("user.persona")));
}

TEST(Preferences, OtherDomainsAreSeparateFiles) {
    zorbel::test::TempXdg xdg;
    Preferences predecessor(QStringLiteral("com.pinwave.app"));
    predecessor.setValue(QStringLiteral("llm.provider"), QStringLiteral("kimi"));
    predecessor.sync();
    EXPECT_EQ(predecessor.filePath(), xdg.configHome() + QStringLiteral("/com.pinwave.app.conf"));
    EXPECT_FALSE(Preferences::standard()->contains(QStringLiteral("llm.provider")));
}
