#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace zorbel::DarkTheme {

// The dark materials of the panels beside the ball, and the system colours on them.
inline const QColor kConfirmMaterial(30, 30, 32, 235);
inline const QColor kStatusMaterial(30, 30, 34, 225);
inline const QColor kOnboardingMaterial(28, 28, 32, 235);
inline const QColor kText(235, 235, 240);
inline const QColor kField(52, 52, 56);
inline const QColor kButton(72, 72, 76);
inline const QColor kOrange(0xFF, 0x9F, 0x0A);
inline const QColor kBlue(0x0A, 0x84, 0xFF);
inline const QColor kRed(0xFF, 0x45, 0x3A);
inline const QColor kTitle(255, 255, 255);
inline const QColor kSecondaryText(235, 235, 245, 153);

/// The palette of controls on `material`: light text, darker fields and buttons, blue selection.
QPalette palette(const QColor& material);

/// The application font at `pixelSize` pixels, as the confirm panel and its form use it.
QFont panelFont(int pixelSize, int weight = QFont::Normal);

/// Sets the colour of the widget's own text.
void setTextColor(QWidget* widget, const QColor& color);

/// Fills the widget with its material as a rounded rectangle; called from its paint event.
void paintMaterial(QWidget* widget, const QColor& material, qreal cornerRadius);

}  // namespace zorbel::DarkTheme
