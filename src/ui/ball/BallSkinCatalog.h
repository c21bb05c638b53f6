#pragma once

#include <QStringView>
#include <vector>

#include "ui/ball/BallSkin.h"

namespace zorbel::BallSkinCatalog {

/// The built-in skins in settings-menu order (a menu item's tag is its index here).
const std::vector<BallSkin>& all();

const BallSkin& crystalMemory();
const BallSkin& gravitationalLens();
const BallSkin& liquidLens();

/// The skin whose id equals `id` exactly (case-sensitive); "crystal-memory" when none does.
const BallSkin& skin(QStringView id);

}  // namespace zorbel::BallSkinCatalog
