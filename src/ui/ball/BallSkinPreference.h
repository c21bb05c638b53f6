#pragma once

#include <QString>

#include "ui/ball/BallSkin.h"

namespace zorbel::BallSkinPreference {

/// The preference key holding the chosen skin's id.
inline const QString defaultsKey = QStringLiteral("ui.skin");

/// The skin chosen in the standard preference store; "crystal-memory" when the value is missing
/// or names no built-in skin (the stored value is left as it is).
BallSkin current();
/// Stores the skin's id and announces it (`AppearanceNotifications::skinChanged`).
void setCurrent(const BallSkin& skin);

}  // namespace zorbel::BallSkinPreference
