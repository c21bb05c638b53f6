#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QWidget>

/// Placing the settings window's controls: frames in points, one point a pixel.
namespace zorbel::SettingsLayout {

template <typename Widget>
Widget* place(Widget* widget, const QRect& geometry, int pixelSize = 12) {
    widget->setGeometry(geometry);
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    widget->setFont(font);
    return widget;
}

/// A right-aligned row label.
inline QLabel* rowLabel(QWidget* parent, const QString& text, const QRect& geometry,
                        int pixelSize = 12) {
    QLabel* label = place(new QLabel(text, parent), geometry, pixelSize);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

/// A label in the secondary text colour.
inline QLabel* secondaryLabel(QWidget* parent, const QRect& geometry, int pixelSize) {
    QLabel* label = place(new QLabel(parent), geometry, pixelSize);
    label->setStyleSheet(QStringLiteral("color: palette(placeholder-text);"));
    return label;
}

}  // namespace zorbel::SettingsLayout
