#include "ui/ball/BallSkinCatalog.h"

namespace zorbel::BallSkinCatalog {

const std::vector<BallSkin>& all() {
    // clang-format off
    static const std::vector<BallSkin> skins{
        //        id                              displayName                      tint  sat   rimW  rimB  rimD  hiA   hiR   glint caus  shade proc  particles
        BallSkin(QStringLiteral("crystal-memory"), QStringLiteral("Crystal Memory"), 0.14, 1.0, 1.25, 0.85, 0.35, 0.55, 0.88, 0.9, 0.3, 0.22, 0.22, 12),
        BallSkin(QStringLiteral("gravitational-lens"), QStringLiteral("Gravitational Lens"), 0.18, 1.25, 1.75, 0.95, 0.6, 0.45, 0.62, 1.0, 0.45, 0.38, 0.28, 16),
        BallSkin(QStringLiteral("liquid-lens"), QStringLiteral("Liquid Lens"), 0.12, 0.75, 1.0, 0.55, 0.22, 0.4, 1.03, 0.55, 0.18, 0.14, 0.18, 8),
    };
    // clang-format on
    return skins;
}

const BallSkin& crystalMemory() {
    return all()[0];
}

const BallSkin& gravitationalLens() {
    return all()[1];
}

const BallSkin& liquidLens() {
    return all()[2];
}

const BallSkin& skin(QStringView id) {
    for (const BallSkin& candidate : all()) {
        if (candidate.id() == id) return candidate;
    }
    return crystalMemory();
}

}  // namespace zorbel::BallSkinCatalog
