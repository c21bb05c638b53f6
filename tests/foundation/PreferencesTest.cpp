#include <gtest/gtest.h>
#include <QFile>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::Preferences;

TEST(Preferences, TheStandardStoreFollowsTheConfigFolderAndSurvivesReopening) {
    Preferences::standard()->setValue(u"user.persona"_s, u"x"_s);
    zorbel::test::TempXdg xdg;
    auto prefs = Preferences::standard();
    EXPECT_EQ(prefs->filePath(), xdg.configHome() + u"/com.zorbel.app.conf"_s);
    EXPECT_FALSE(prefs->contains(u"user.persona"_s));
    prefs->setValue(u"llm.provider"_s, u"ollama"_s);
    prefs->setValue(u"ui.ballOpacity"_s, 0.75);
    prefs->setValue(u"onboarding.version"_s, 2);
    prefs->setValue(u"defaults.migratedFromPinwave"_s, true);
    prefs->sync();
    ASSERT_TRUE(QFile::exists(prefs->filePath()));
    EXPECT_EQ(QFile::permissions(prefs->filePath()) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);

    // The next launch reads the file back as text: the typed readers give the same answers.
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

    // Absent or wrong-typed values read as nothing.
    prefs->setValue(u"ui.skin"_s, u"not a number"_s);
    for (const QString& key : {u"missing"_s, u"ui.skin"_s}) {
        EXPECT_FALSE(prefs->integer(key) || prefs->number(key) || prefs->boolean(key));
    }
    EXPECT_FALSE(prefs->string(u"missing"_s));
    prefs->remove(u"ui.skin"_s);
    EXPECT_FALSE(prefs->contains(u"ui.skin"_s));
}
