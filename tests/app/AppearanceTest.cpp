// The two opacities: range-checked reads, the legacy key, clamped and announced writes.

#include <gtest/gtest.h>

#include "support/Appearance.h"
#include "support/Preferences.h"
#include "testkit/TempXdg.h"

using namespace zorbel;

namespace {

void store(const char* key, const QVariant& value) {
    Preferences::standard()->setValue(QLatin1String(key), value);
}

}  // namespace

TEST(Appearance, OutOfRangeStoredValuesReadAsTheDefaultAndTheLegacyKeyFillsOnlyAGap) {
    test::TempXdg xdg;
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.92);  // nothing stored
    EXPECT_DOUBLE_EQ(Appearance::panelOpacity(), 0.85);
    const struct {
        QVariant value;
        double ball;
        double panel;
    } rows[] = {{0.5, 0.92, 0.85},
                {0.72, 0.92, 0.72},
                {0.75, 0.75, 0.75},
                {1.0, 1.0, 1.0},
                {-1, 0.92, 0.85},
                {1.01, 0.92, 0.85},
                {QStringLiteral("0.9"), 0.9, 0.9}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value.toString().toStdString());
        store("ui.ballMaterialOpacity", row.value);
        store("ui.panelOpacity", row.value);
        EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), row.ball);
        EXPECT_DOUBLE_EQ(Appearance::panelOpacity(), row.panel);
    }
    store("ui.opacity", 0.8);
    EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.9);  // the new key wins
    for (const QVariant& unset : {QVariant(0), QVariant(QStringLiteral("not a number"))}) {
        store("ui.ballMaterialOpacity", unset);
        EXPECT_DOUBLE_EQ(Appearance::ballMaterialOpacity(), 0.8);
    }
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
    const auto stored = [](const char* key) {
        return Preferences::standard()->number(QLatin1String(key)).value_or(-1);
    };
    for (const auto& [value, ballStored, panelStored] :
         {std::tuple{0.5, 0.75, 0.7}, {1.2, 1.0, 1.0}, {1.0, 1.0, 1.0}}) {
        Appearance::setBallMaterialOpacity(value);
        Appearance::setPanelOpacity(value);
        EXPECT_DOUBLE_EQ(stored("ui.ballMaterialOpacity"), ballStored);
        EXPECT_DOUBLE_EQ(stored("ui.panelOpacity"), panelStored);
    }
    // The same value again is still announced, synchronously; the legacy key is never written.
    EXPECT_EQ(std::pair(ball, panel), std::pair(3, 3));
    EXPECT_FALSE(Preferences::standard()->contains(QStringLiteral("ui.opacity")));
}
