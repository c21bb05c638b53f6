#include "ui/ball/BallAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "ui/ball/BallView.h"

namespace zorbel::BallAccessibility {

namespace {

/// The action that slides a docked ball out.
QString expandActionName() {
    return BallView::tr("展开Zorbel");
}

// The ball as assistive technology sees it: a button with the state as its value, pressed to
// toggle recording, and an action to slide a docked ball out.
class BallAccessible final : public QAccessibleWidget {
public:
    explicit BallAccessible(BallView* view) : QAccessibleWidget(view, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
            case QAccessible::Name:
                return name();
            case QAccessible::Help:
            case QAccessible::Description:
                return help();
            case QAccessible::Value:
                return ball()->accessibilityValue();
            default:
                return QAccessibleWidget::text(kind);
        }
    }
    QStringList actionNames() const override {
        QStringList names{pressAction()};
        const EdgeSnapController* snap = ball()->edgeSnapController();
        if (snap && snap->isCollapsed()) names.append(expandActionName());
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction()) {
            ball()->toggleRecordingFromInput();
        } else if (name == expandActionName() && ball()->edgeSnapController()) {
            ball()->edgeSnapController()->expand();
        }
    }
    QStringList keyBindingsForAction(const QString& /*name*/) const override { return {}; }

private:
    BallView* ball() const { return static_cast<BallView*>(widget()); }
};

QAccessibleInterface* ballAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("zorbel::BallView") && object && object->isWidgetType()) {
        return new BallAccessible(static_cast<BallView*>(object));
    }
    return nullptr;
}

}  // namespace

QString name() {
    return QStringLiteral("Zorbel");
}

QString help() {
    return BallView::tr(
        "按住说话，松开结束；键盘可用空格切换录音；拖动移动位置；拖入文件提取日程；Escape 取消");
}

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(ballAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace zorbel::BallAccessibility
