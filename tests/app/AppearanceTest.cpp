// The two opacities: reading with range checks and the legacy key, clamped writes, and a signal
// on every write.

#include <gtest/gtest.h>

#include "support/Appearance.h"
#include "support/Preferences.h"
#include "testkit/TempXdg.h"

using namespace zorbel;

namespace {

void store(const char* key, const QVariant& value) {
    Preferences::standard()->setValue(QLatin1String(key), value);
}

double stored(const char* key) {
    return Preferences::standard()->number(QLatin1String(key)).value_or(-1);
}

}  // namespace

TEST(Appearance, OutOfRangeStoredValuesReadAsTheDefaultNotTheBound) {
    test::TempXdg xdg;
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.92);  // nothing stored
    EXPECT_DOUBLE_EQ(Appearance::panelOpacity(), 0.85);
    const struct {
        double value;
        double ball;
        double panel;
    } rows[] = {
        {0.5, 0.92, 0.85}, {0.72, 0.92, 0.72}, {0.75, 0.75, 0.75},
        {1.0, 1.0, 1.0},   {1.01, 0.92, 0.85}, {-1, 0.92, 0.85},
    };
    for (const auto& row : rows) {
        store("ui.ballMaterialOpacity", row.value);
        store("ui.panelOpacity", row.value);
        EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), row.ball) << row.value;
        EXPECT_DOUBLE_EQ(Appearance::panelOpacity(), row.panel) << row.value;
    }
    // Text written by another program is read as a number where it is one.
    store("ui.panelOpacity", QStringLiteral("0.9"));
    EXPECT_DOUBLE_EQ(Appearance::panelOpacity(), 0.9);
}

TEST(Appearance, BallOpacityFallsBackToTheLegacyKeyOnlyWhenTheNewOneIsEmpty) {
    test::TempXdg xdg;
    store("ui.opacity", 0.8);
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.8);
    store("ui.ballMaterialOpacity", 0.9);
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.9);
    store("ui.ballMaterialOpacity", 0);  // exactly 0 counts as not set
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.8);
    store("ui.ballMaterialOpacity", QStringLiteral("not a number"));
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.8);
    store("ui.opacity", 0.5);  // the legacy value is range-checked too
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.92);
}

TEST(Appearance, WritesAreClampedAndEachOneIsAnnounced) {
    test::TempXdg xdg;
    int ball = 0;
    int panel = 0;
    auto& notifications = AppearanceNotifications::shared();
    QObject receiver;
    QObject::connect(&notifications, &AppearanceNotifications::materialOpacityChanged, &receiver,
                     [&] { ++ball; });
    QObject::connect(&notifications, &AppearanceNotifications::panelOpacityChanged, &receiver,
                     [&] { ++panel; });

    Appearance::setBallMaterialOpacity(0.5);
    Appearance::setPanelOpacity(0.5);
    EXPECT_DOUBLE_EQ(stored("ui.ballMaterialOpacity"), 0.75);
    EXPECT_DOUBLE_EQ(stored("ui.panelOpacity"), 0.7);
    Appearance::setBallMaterialOpacity(1.2);
    Appearance::setPanelOpacity(1.2);
    EXPECT_DOUBLE_EQ(stored("ui.ballMaterialOpacity"), 1.0);
    EXPECT_DOUBLE_EQ(stored("ui.panelOpacity"), 1.0);
    // The same value again is still announced, synchronously; the legacy key is never written.
    Appearance::setBallMaterialOpacity(1.0);
    EXPECT_EQ(ball, 3);
    EXPECT_EQ(panel, 2);
    EXPECT_FALSE(Preferences::standard()->contains(QStringLiteral("ui.opacity")));
}
