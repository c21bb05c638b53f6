#pragma once

#include <QByteArray>

namespace zorbel::DisplayPlatform {

/// What the session's environment says about its displays.
struct Session {
    QByteArray qpaPlatform;     ///< QT_QPA_PLATFORM: the user's own choice
    QByteArray waylandDisplay;  ///< WAYLAND_DISPLAY
    QByteArray x11Display;      ///< DISPLAY
};

/// The Qt platform the ball should run on, or empty to leave Qt's own choice. On Wayland a
/// window can neither place itself nor stay above others, so a Wayland session with an X server
/// (Xwayland, as GNOME and KDE provide) runs on "xcb"; a platform the user set is kept.
QByteArray chosen(const Session& session);

/// Applies `chosen` for this process's environment; to be called before the application object
/// is made.
void applyToThisProcess();

}  // namespace zorbel::DisplayPlatform
