#include "ui/shared/DarkTheme.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

namespace zorbel::DarkTheme {

QPalette palette(const QColor& material) {
    QPalette palette;
    palette.setColor(QPalette::Window, material);
    palette.setColor(QPalette::WindowText, kText);
    palette.setColor(QPalette::Base, kField);
    palette.setColor(QPalette::AlternateBase, kField);
    palette.setColor(QPalette::Text, kText);
    palette.setColor(QPalette::Button, kButton);
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::Highlight, kBlue);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 155));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, QColor(120, 120, 125));
    }
    return palette;
}

QFont panelFont(int pixelSize, int weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

void paintMaterial(QWidget* widget, const QColor& material, qreal cornerRadius) {
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(material);
    painter.drawRoundedRect(QRectF(widget->rect()), cornerRadius, cornerRadius);
}

}  // namespace zorbel::DarkTheme
