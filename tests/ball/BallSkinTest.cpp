// The skin preference: stored ids, their exact lookup and the fallback.

#include <gtest/gtest.h>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"

using namespace zorbel;

TEST(BallSkinPreference, ASkinReadsBackByItsExactIdAndAnyOtherIdAsCrystalMemory) {
    test::TempXdg xdg;
    EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::crystalMemory());  // nothing stored
    BallSkinPreference::setCurrent(BallSkinCatalog::liquidLens());
    Preferences::standard()->sync();  // stored by its id for the next launch
    EXPECT_EQ(Preferences(QStringLiteral("com.zorbel.app")).string(QStringLiteral("ui.skin")),
              BallSkinCatalog::liquidLens().id());
    EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::liquidLens());
    // Unknown ids are left as they are.
    for (const QString& unknown : {QStringLiteral("LIQUID-LENS"), QStringLiteral("liquid-lens "),
                                   QStringLiteral("aurora"), QString()}) {
        Preferences::standard()->setValue(QStringLiteral("ui.skin"), unknown);
        EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::crystalMemory());
        EXPECT_EQ(Preferences::standard()->string(QStringLiteral("ui.skin")), unknown);
    }
}
