#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include "ui/shared/DarkTheme.h"

namespace zorbel {

/// Makes and places the confirm panel's controls. Frames are given from the panel's bottom-left
/// corner, y upwards, as the layout is drawn, one point a pixel; the panel has its final size.
class PanelFrame {
public:
    explicit PanelFrame(QWidget* panel) : m_panel(panel) {}

    void place(QWidget* widget, int x, int y, int width, int height) const {
        widget->setGeometry(x, m_panel->height() - y - height, width, height);
    }
    QLabel* label(const QString& text, int pixelSize, int x, int y, int width, int height) const {
        auto* label = new QLabel(text, m_panel);
        label->setFont(DarkTheme::panelFont(pixelSize));
        place(label, x, y, width, height);
        return label;
    }
    QComboBox* popup(const QString& name, int x, int y, int width) const {
        auto* box = new QComboBox(m_panel);
        box->setObjectName(name);
        box->setFont(DarkTheme::panelFont(14));
        place(box, x, y, width, 26);
        return box;
    }
    QPushButton* button(const QString& text, int fontWeight, int x, int y, int width) const {
        auto* button = new QPushButton(text, m_panel);
        button->setFont(DarkTheme::panelFont(14, fontWeight));
        button->setAutoDefault(false);  // Return belongs to the write button alone
        place(button, x, y, width, 28);
        return button;
    }

private:
    QWidget* m_panel;
};

}  // namespace zorbel
