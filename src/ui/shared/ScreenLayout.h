#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>

namespace zorbel {

/// One connected screen, in global coordinates (Qt's: y grows downwards).
struct ScreenInfo {
    QRectF frame;
    QRectF visibleFrame;  ///< without panels and docks
    quint32 id = 0;       ///< display identifier; 0 means none
};

/// The connected screens in the platform's order, the main screen first; empty without any.
using ScreenSource = std::function<QList<ScreenInfo>()>;

namespace ScreenLayout {

/// The desktop's screens (the primary screen first).
QList<ScreenInfo> systemScreens();
/// A stable identifier of a screen from its output name (FNV-1a, never 0); 0 for no name.
quint32 displayID(const QString& screenName);
/// The first screen whose frame intersects `rect`, else the main (first) screen.
std::optional<ScreenInfo> screenIntersecting(const QRectF& rect, const QList<ScreenInfo>& screens);

}  // namespace ScreenLayout

}  // namespace zorbel
