// The skin preference: stored ids, their exact lookup and the fallback.

#include <gtest/gtest.h>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"

using namespace zorbel;

TEST(BallSkinPreference, EverySkinReadsBackByItsExactIdAndAnyOtherIdAsCrystalMemory) {
    test::TempXdg xdg;
    EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::crystalMemory());  // nothing stored
    for (const BallSkin& skin : BallSkinCatalog::all()) {
        BallSkinPreference::setCurrent(skin);
        Preferences::standard()->sync();
        EXPECT_EQ(Preferences(QStringLiteral("com.zorbel.app")).string(QStringLiteral("ui.skin")),
                  skin.id());
        EXPECT_EQ(BallSkinPreference::current(), skin) << skin.id().toStdString();
    }
    // Unknown ids are left as they are.
    for (const QString& unknown : {QStringLiteral("LIQUID-LENS"), QStringLiteral("liquid-lens "),
                                   QStringLiteral("aurora"), QString()}) {
        Preferences::standard()->setValue(QStringLiteral("ui.skin"), unknown);
        EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::crystalMemory());
        EXPECT_EQ(Preferences::standard()->string(QStringLiteral("ui.skin")), unknown);
    }
}
