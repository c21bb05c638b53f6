#pragma once

#include <QString>

namespace zorbel {

/// The visual parameters of one look of the ball, read by both renderers on every frame.
/// Compared over all fourteen fields; `id` and `displayName` are fixed at construction.
class BallSkin {
public:
    BallSkin(QString id, QString displayName, double tintAlpha_, double tintSaturation_,
             double rimWidth_, double rimBrightAlpha_, double rimDarkAlpha_, double highlightAlpha_,
             double highlightRadiusFrac_, double glintAlpha_, double causticAlpha_,
             double shadeAlpha_, double processingTintAlpha_, qint64 particleCount_)
        : tintAlpha(tintAlpha_),
          tintSaturation(tintSaturation_),
          rimWidth(rimWidth_),
          rimBrightAlpha(rimBrightAlpha_),
          rimDarkAlpha(rimDarkAlpha_),
          highlightAlpha(highlightAlpha_),
          highlightRadiusFrac(highlightRadiusFrac_),
          glintAlpha(glintAlpha_),
          causticAlpha(causticAlpha_),
          shadeAlpha(shadeAlpha_),
          processingTintAlpha(processingTintAlpha_),
          particleCount(particleCount_),
          m_id(std::move(id)),
          m_displayName(std::move(displayName)) {}

    /// Stable identifier; the value stored in the preference store.
    const QString& id() const { return m_id; }
    /// Label of the skin in the settings skin menu.
    const QString& displayName() const { return m_displayName; }

    double tintAlpha;            ///< body tint alpha at the edge (times the material opacity)
    double tintSaturation;       ///< factor on each colour component of the state tint, capped
    double rimWidth;             ///< rim stroke width in points for a 64-point ball
    double rimBrightAlpha;       ///< alpha of the white upper rim
    double rimDarkAlpha;         ///< alpha of the black lower rim
    double highlightAlpha;       ///< alpha at the centre of the white highlight
    double highlightRadiusFrac;  ///< highlight radius as a fraction of the ball radius
    double glintAlpha;           ///< alpha of the small white glint
    double causticAlpha;         ///< alpha of the tinted caustic arc
    double shadeAlpha;           ///< alpha of the black shade at its edge (times the opacity)
    double processingTintAlpha;  ///< body tint alpha of the processing animation
    qint64 particleCount;        ///< particles of the processing animation; never negative

    bool operator==(const BallSkin&) const = default;

private:
    QString m_id;
    QString m_displayName;
};

}  // namespace zorbel
