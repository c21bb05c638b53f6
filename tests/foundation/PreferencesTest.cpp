#include <gtest/gtest.h>
#include <QFile>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::Preferences;

TEST(Preferences, LivesInTheTestsOwnConfigFolderAndSurvivesReopening) {
    zorbel::test::TempXdg xdg;
    auto prefs = Preferences::standard();
    EXPECT_EQ(prefs->filePath(), xdg.configHome() + u"/com.zorbel.app.conf"_s);
    prefs->setValue(u"llm.provider"_s, u"ollama"_s);
    prefs->setValue(u"ui.ballOpacity"_s, 0.75);
    prefs->setValue(u"onboarding.version"_s, 2);
    prefs->setValue(u"defaults.migratedFromPinwave"_s, true);
    prefs->sync();
    ASSERT_TRUE(QFile::exists(prefs->filePath()));

    // Another process (or the next launch) reads the file back as text: the typed readers must
    // give the same answers.
    Preferences reopened(u"com.zorbel.app"_s);
    EXPECT_EQ(reopened.string(u"llm.provider"_s), u"ollama"_s);
    EXPECT_DOUBLE_EQ(reopened.number(u"ui.ballOpacity"_s).value(), 0.75);
    EXPECT_EQ(reopened.integer(u"onboarding.version"_s), 2);
    EXPECT_TRUE(reopened.boolean(u"defaults.migratedFromPinwave"_s));
    EXPECT_TRUE(reopened.allKeys().contains(u"llm.provider"_s));

    // Another domain is a file of its own.
    Preferences predecessor(u"com.pinwave.app"_s);
    predecessor.setValue(u"user.persona"_s, u"x"_s);
    predecessor.sync();
    EXPECT_EQ(predecessor.filePath(), xdg.configHome() + u"/com.pinwave.app.conf"_s);
    EXPECT_FALSE(reopened.contains(u"user.persona"_s));
}

TEST(Preferences, AbsentOrWrongTypedValuesReadAsNothing) {
    zorbel::test::TempXdg xdg;
    Preferences prefs(u"com.zorbel.app"_s);
    EXPECT_FALSE(prefs.string(u"missing"_s).has_value());
    EXPECT_FALSE(prefs.boolean(u"missing"_s));
    EXPECT_FALSE(prefs.integer(u"missing"_s).has_value());
    prefs.setValue(u"ui.skin"_s, u"not a number"_s);
    EXPECT_FALSE(prefs.number(u"ui.skin"_s).has_value());
    EXPECT_FALSE(prefs.integer(u"ui.skin"_s).has_value());
    EXPECT_FALSE(prefs.boolean(u"ui.skin"_s));
    prefs.remove(u"ui.skin"_s);
    EXPECT_FALSE(prefs.contains(u"ui.skin"_s));
}

TEST(Preferences, EachTestGetsAFreshStandardStore) {
    QString firstPath;
    {
        zorbel::test::TempXdg xdg;
        Preferences::standard()->setValue(u"user.persona"_s, u"x"_s);
        firstPath = Preferences::standard()->filePath();
    }
    zorbel::test::TempXdg other;
    EXPECT_NE(Preferences::standard()->filePath(), firstPath);
    EXPECT_FALSE(Preferences::standard()->contains(u"user.persona"_s));
}
