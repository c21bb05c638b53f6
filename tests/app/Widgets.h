#pragma once

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace zorbel::test {

/// The child of `parent` named `name`; a test failure when there is none.
template <typename T>
T* child(const QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

/// Types into a line edit and presses Return.
inline void enter(QLineEdit* field, const QString& text) {
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

/// What a user sees of a fixed layout: every shown control of `page` lies inside it, no text
/// overlaps another control, and every label and button shows its whole text.
inline void expectTidy(const QWidget& page) {
    QList<std::pair<const QWidget*, QRect>> shown;  // each control with the area it paints
    for (const QWidget* control : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isVisibleTo(&page)) continue;
        QRect area = control->geometry();
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            const QRect text =
                label->fontMetrics().boundingRect(label->contentsRect(), flags, label->text());
            EXPECT_TRUE(label->contentsRect().contains(text)) << label->text().toStdString();
            area = text.translated(label->pos());
        } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
                << button->text().toStdString();
        } else if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
            EXPECT_LE(box->sizeHint().width(), box->width()) << box->text().toStdString();
        }
        if (!area.isEmpty()) shown.append({control, area});
    }
    for (const auto& [control, area] : shown) {
        const std::string name = control->objectName().toStdString() + " " +
                                 control->property("text").toString().toStdString();
        EXPECT_TRUE(page.rect().contains(area)) << name;
        for (const auto& [other, otherArea] : shown) {
            if (other != control) {
                EXPECT_FALSE(area.intersects(otherArea)) << name;
            }
        }
    }
}

}  // namespace zorbel::test
