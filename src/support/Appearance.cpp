#include "support/Appearance.h"

#include <algorithm>

#include "support/Preferences.h"

namespace zorbel {

AppearanceNotifications& AppearanceNotifications::shared() {
    static AppearanceNotifications instance;
    return instance;
}

namespace Appearance {

namespace {

double storedNumber(const QString& key) {
    return Preferences::standard()->number(key).value_or(0.0);
}

double withinRangeOr(double value, double min, double fallback) {
    return value >= min && value <= 1.0 ? value : fallback;
}

}  // namespace

double ballMaterialOpacity() {
    double value = storedNumber(materialOpacityKey);
    if (value == 0.0) value = storedNumber(legacyMaterialOpacityKey);
    return withinRangeOr(value, kBallMaterialOpacityMin, kBallMaterialOpacityDefault);
}

void setBallMaterialOpacity(double value) {
    Preferences::standard()->setValue(materialOpacityKey,
                                      std::clamp(value, kBallMaterialOpacityMin, 1.0));
    Q_EMIT AppearanceNotifications::shared().materialOpacityChanged();
}

double panelOpacity() {
    return withinRangeOr(storedNumber(panelOpacityKey), kPanelOpacityMin, kPanelOpacityDefault);
}

void setPanelOpacity(double value) {
    Preferences::standard()->setValue(panelOpacityKey, std::clamp(value, kPanelOpacityMin, 1.0));
    Q_EMIT AppearanceNotifications::shared().panelOpacityChanged();
}

}  // namespace Appearance

}  // namespace zorbel
