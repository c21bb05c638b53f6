#include "ui/settings/OnboardingPanel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "llm/LocalDiscovery.h"
#include "support/Preferences.h"
#include "ui/settings/SettingsText.h"
#include "ui/shared/DarkTheme.h"

namespace zorbel {

QPointer<OnboardingPanel> OnboardingPanel::s_current;

namespace {

constexpr int kMargin = 8;
constexpr int kGap = 10;

/// A frame given from the panel's bottom-left corner, in Qt's top-left coordinates.
QRect frame(int x, int y, int width, int height) {
    return {x, OnboardingPanel::kHeight - y - height, width, height};
}

QLabel* label(QWidget* parent, const QString& text, const QRect& geometry, int pointSize,
              bool secondary = false) {
    auto* result = new QLabel(text, parent);
    result->setGeometry(geometry);
    QFont font = result->font();
    // Sizes are in points of the panel's own 340 × 236 grid, one point a pixel.
    font.setPixelSize(pointSize);
    result->setFont(font);
    result->setStyleSheet(secondary ? QStringLiteral("color: rgba(255,255,255,150);")
                                    : QStringLiteral("color: white;"));
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return result;
}

}  // namespace

bool OnboardingPanel::needsShow() {
    return Preferences::standard()->integer(QLatin1String(versionKey)).value_or(0) < currentVersion;
}

QString OnboardingPanel::routeText(const LLMClient& client) {
    if (client.usesBuiltinRules()) return SettingsText::tr("当前处理路线：内置规则（离线）");
    const LLMPreset preset = client.currentPreset();
    if (preset.isLocal() || preset.id == u"auto") {
        const auto config = client.resolvedConfig();
        return SettingsText::tr("当前处理路线：本地模型：%1")
            .arg(config ? config->model : preset.displayName);
    }
    return SettingsText::tr("当前处理路线：云端处理：%1").arg(preset.displayName);
}

QPoint OnboardingPanel::panelOrigin(const QRect& anchor, const std::optional<QRect>& screen) {
    int x = anchor.x() + anchor.width() / 2 - kWidth / 2;
    int y = anchor.y() + anchor.height() + kGap;
    if (screen) {
        const int left = screen->x(), top = screen->y();
        const int right = left + screen->width(), bottom = top + screen->height();
        x = std::min(std::max(x, left + kMargin), right - kWidth - kMargin);
        if (y + kHeight > bottom - kMargin) y = anchor.y() - kGap - kHeight;
        y = std::min(std::max(y, top + kMargin), bottom - kHeight - kMargin);
    }
    return {x, y};
}

OnboardingPanel* OnboardingPanel::show(const QRect& anchor, std::function<void()> onClose,
                                       const LLMClient& client) {
    if (OnboardingPanel* previous = s_current) previous->close();

    auto* panel = new OnboardingPanel(std::move(onClose), routeText(client));
    // A look for local servers that ends while the panel is open may change the route.
    connect(&client.discovery(), &LocalDiscovery::scanFinished, panel, [panel, &client] {
        panel->findChild<QLabel*>(QStringLiteral("route"))->setText(routeText(client));
    });
    std::optional<QRect> screenFrame;
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(anchor)) {
            screenFrame = screen->geometry();
            break;
        }
    }
    if (!screenFrame && QGuiApplication::primaryScreen()) {
        screenFrame = QGuiApplication::primaryScreen()->geometry();
    }
    panel->move(panelOrigin(anchor, screenFrame));
    s_current = panel;
    panel->QWidget::show();
    panel->raise();
    panel->activateWindow();
    return panel;
}

OnboardingPanel* OnboardingPanel::current() {
    return s_current;
}

OnboardingPanel::OnboardingPanel(std::function<void()> onClose, const QString& route)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_onClose(std::move(onClose)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);

    QLabel* title = label(this, SettingsText::tr("欢迎使用Zorbel"), frame(20, 200, 300, 22), 16);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    label(this, route, frame(20, 178, 300, 16), 12, true)->setObjectName(QStringLiteral("route"));

    const QString steps[] = {SettingsText::tr("按住小球说话，松开结束"),
                             SettingsText::tr("也可以把 PDF、Word 或文本文件拖到小球上"),
                             SettingsText::tr("提取出的日程先经你确认，再写入系统日历")};
    const QString accent = palette().color(QPalette::Highlight).name();
    for (int index = 0; index < 3; ++index) {
        // The steps sit 36 points apart (not 40) so that the note below the third one has room.
        const int y = 146 - 36 * index;
        QLabel* badge = label(this, QString::number(index + 1), frame(20, y + 2, 18, 18), 13);
        QFont badgeFont = badge->font();
        badgeFont.setBold(true);
        badge->setFont(badgeFont);
        badge->setAlignment(Qt::AlignCenter);
        badge->setStyleSheet(QStringLiteral("color: white; border-radius: 9px; background: ") +
                             accent + u';');
        QLabel* step = label(this, steps[index], frame(48, y, 272, 34), 13);
        step->setWordWrap(true);
        step->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    // A window on Wayland itself can neither keep above the others nor place itself: the user
    // hears why the ball behaves so, in place of the note on permissions.
    const bool wayland = QGuiApplication::platformName().startsWith(u"wayland");
    QLabel* note = label(this,
                         wayland ? SettingsText::tr("Wayland 会话中小球无法保持在其他窗口之上，"
                                                    "位置由系统决定（屏幕中央）。")
                                 : SettingsText::tr("首次录音时才申请麦克风与语音识别权限；"
                                                    "首次写入时才申请日历权限。"),
                         frame(20, 40, 300, 30), 11, true);
    note->setWordWrap(true);

    auto* later = new QPushButton(SettingsText::tr("稍后"), this);
    later->setGeometry(frame(168, 14, 64, 26));
    auto* start = new QPushButton(SettingsText::tr("开始使用"), this);
    start->setGeometry(frame(240, 14, 80, 26));
    start->setDefault(true);
    for (QPushButton* button : {later, start}) {
        connect(button, &QPushButton::clicked, this, &OnboardingPanel::closeClicked);
    }
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &OnboardingPanel::closeClicked);
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
                &OnboardingPanel::closeClicked);
    }
}

void OnboardingPanel::closeClicked() {
    Preferences::standard()->setValue(QLatin1String(versionKey), currentVersion);
    close();
}

void OnboardingPanel::closeEvent(QCloseEvent* event) {
    event->accept();
    finish();
}

void OnboardingPanel::finish() {
    if (s_current == this) s_current = nullptr;
    // Run once, even if the window system closes the panel a second time.
    if (auto onClose = std::exchange(m_onClose, nullptr)) onClose();
}

void OnboardingPanel::paintEvent(QPaintEvent*) {
    DarkTheme::paintMaterial(this, DarkTheme::kOnboardingMaterial, 12);
}

}  // namespace zorbel
