#include "ui/shared/ScreenLayout.h"

#include <QGuiApplication>
#include <QScreen>

namespace zorbel::ScreenLayout {

QList<ScreenInfo> systemScreens() {
    QList<ScreenInfo> screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const ScreenInfo info{screen->geometry(), screen->availableGeometry(),
                              displayID(screen->name())};
        if (screen == primary) {
            screens.prepend(info);
        } else {
            screens.append(info);
        }
    }
    return screens;
}

quint32 displayID(const QString& screenName) {
    if (screenName.isEmpty()) return 0;
    quint32 hash = 2166136261u;
    for (const char byte : screenName.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash == 0 ? 1 : hash;
}

std::optional<ScreenInfo> screenIntersecting(const QRectF& rect, const QList<ScreenInfo>& screens) {
    for (const ScreenInfo& screen : screens) {
        if (screen.frame.intersects(rect)) return screen;
    }
    if (screens.isEmpty()) return std::nullopt;
    return screens.first();
}

}  // namespace zorbel::ScreenLayout
