#include "ui/ball/BallSkinPreference.h"

#include "support/Appearance.h"
#include "support/Preferences.h"
#include "ui/ball/BallSkinCatalog.h"

namespace zorbel::BallSkinPreference {

BallSkin current() {
    const QString id = Preferences::standard()->string(defaultsKey).value_or(QString());
    return BallSkinCatalog::skin(id);
}

void setCurrent(const BallSkin& skin) {
    Preferences::standard()->setValue(defaultsKey, skin.id());
    Q_EMIT AppearanceNotifications::shared().skinChanged();
}

}  // namespace zorbel::BallSkinPreference
