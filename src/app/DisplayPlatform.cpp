#include "app/DisplayPlatform.h"

#include <QtGlobal>

namespace zorbel::DisplayPlatform {

QByteArray chosen(const Session& session) {
    if (!session.qpaPlatform.isEmpty()) return {};
    if (!session.waylandDisplay.isEmpty() && !session.x11Display.isEmpty()) return "xcb";
    return {};
}

void applyToThisProcess() {
    const QByteArray platform =
        chosen({qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")});
    if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

}  // namespace zorbel::DisplayPlatform
