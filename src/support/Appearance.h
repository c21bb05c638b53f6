#pragma once

#include <QObject>
#include <QString>

namespace zorbel {

/// Announces changes of the appearance settings to every open window of the process.
/// One instance per process (`shared()`), living on the GUI thread; signals are delivered
/// synchronously on the writing thread.
class AppearanceNotifications : public QObject {
    Q_OBJECT
public:
    /// The process-wide instance, created on first use.
    static AppearanceNotifications& shared();

Q_SIGNALS:
    /// "ZorbelOpacityChanged": the ball material opacity was written.
    void materialOpacityChanged();
    /// "ZorbelPanelOpacityChanged": the panel opacity was written.
    void panelOpacityChanged();
    /// The ball's skin was chosen.
    void skinChanged();

private:
    AppearanceNotifications() = default;
};

/// The two user-adjustable opacities, kept in the standard preference store. Nothing is held in
/// memory: every read goes to the store. Reads never fail; out-of-range values read as the
/// default, writes are clamped into range and always announced.
namespace Appearance {

inline const QString materialOpacityKey = QStringLiteral("ui.ballMaterialOpacity");
/// Read when the current key holds nothing (or exactly 0); never written.
inline const QString legacyMaterialOpacityKey = QStringLiteral("ui.opacity");
inline const QString panelOpacityKey = QStringLiteral("ui.panelOpacity");

/// Names of the change notifications, as the signals of `AppearanceNotifications` carry them.
inline const QString materialOpacityChanged = QStringLiteral("ZorbelOpacityChanged");
inline const QString panelOpacityChanged = QStringLiteral("ZorbelPanelOpacityChanged");

constexpr double kBallMaterialOpacityMin = 0.75;
constexpr double kBallMaterialOpacityDefault = 0.92;
constexpr double kPanelOpacityMin = 0.7;
constexpr double kPanelOpacityDefault = 0.85;

/// The opacity of the ball's glass material, 0.75 … 1.0 (default 0.92).
double ballMaterialOpacity();
/// Stores `value` clamped to 0.75 … 1.0 and emits `materialOpacityChanged`.
void setBallMaterialOpacity(double value);

/// The opacity of the panels beside the ball, 0.7 … 1.0 (default 0.85).
double panelOpacity();
/// Stores `value` clamped to 0.7 … 1.0 and emits `panelOpacityChanged`.
void setPanelOpacity(double value);

}  // namespace Appearance

}  // namespace zorbel
