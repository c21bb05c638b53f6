#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QUrl>
#include <cmath>

#include "capture/CloudTransmissionGate.h"
#include "llm/KeychainCredentialStore.h"
#include "llm/LocalDiscovery.h"
#include "llm/UserProfile.h"
#include "support/Appearance.h"
#include "support/Errors.h"
#include "support/Preferences.h"
#include "support/Text.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/settings/ModelSettingsView.h"
#include "ui/settings/OnboardingPanel.h"
#include "ui/settings/SettingsLayout.h"
#include "ui/settings/SettingsText.h"
#include "ui/shared/ErrorText.h"

namespace zorbel {

using namespace SettingsLayout;

namespace {

/// A frame given from the window's bottom-left corner, in Qt's top-left coordinates.
QRect frame(int x, int y, int width, int height) {
    return {x, SettingsWindowController::kHeight - y - height, width, height};
}

/// The "eye" symbol, crossed out when `slashed`.
QIcon eyeIcon(bool slashed) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 90, 96), 2.4));
    QPainterPath outline;
    outline.moveTo(3, 16);
    outline.quadTo(16, 3, 29, 16);
    outline.quadTo(16, 29, 3, 16);
    painter.drawPath(outline);
    painter.setBrush(QColor(90, 90, 96));
    painter.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    if (slashed) painter.drawLine(QPointF(6, 27), QPointF(26, 5));
    return QIcon(pixmap);
}

QString trimmed(const QString& text) {
    return trimSpacesAndTabs(text).toString();
}

}  // namespace

SettingsWindowController::SettingsWindowController(LLMClient& client,
                                                   std::shared_ptr<CredentialStoring> credentials,
                                                   QStringList ollamaCandidates)
    : m_client(client),
      m_credentials(std::move(credentials)),
      m_ollamaCandidates(std::move(ollamaCandidates)) {
    build();
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::build() {
    m_window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint |
                                                      Qt::WindowCloseButtonHint |
                                                      Qt::WindowMinimizeButtonHint);
    m_window->setWindowTitle(SettingsText::tr("Zorbel 设置"));
    // Two pages of 460 × 506 under a tab bar: the general settings and this desktop's.
    auto* tabs = new QTabBar(m_window.get());
    tabs->addTab(SettingsText::tr("通用"));
    tabs->addTab(SettingsText::tr("日历与语音"));
    const int tabHeight = tabs->sizeHint().height();
    tabs->setGeometry(0, 0, kWidth, tabHeight);
    auto* pages = new QStackedWidget(m_window.get());
    pages->setGeometry(0, tabHeight, kWidth, kHeight);
    m_window->setFixedSize(kWidth, tabHeight + kHeight);
    auto* w = new QWidget(pages);
    w->setObjectName(QStringLiteral("generalPage"));
    m_systemPage = new SystemSettingsPage(m_credentials, pages);
    m_systemPage->setObjectName(QStringLiteral("systemPage"));
    pages->addWidget(w);
    pages->addWidget(m_systemPage);
    connect(tabs, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);

    // Ten full-width characters: one point smaller than the other rows so they fit.
    rowLabel(w, SettingsText::tr("人设（角色与习惯）："), frame(0, 440, 110, 22), 11);
    m_personaTextView = place(new QPlainTextEdit(w), frame(118, 398, 322, 64));
    m_personaTextView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_personaTextView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_personaTextView->document()->setDocumentMargin(2);
    connect(m_personaTextView, &QPlainTextEdit::textChanged, this,
            &SettingsWindowController::personaChanged);
    secondaryLabel(w, frame(118, 380, 322, 14), 10)
        ->setText(
            SettingsText::tr("示例：我是律师，常约客户面谈和开庭，会议多在线上。留空则不注入"));

    rowLabel(w, SettingsText::tr("模型服务："), frame(20, 322, 90, 22));
    m_providerPopup = place(new QComboBox(w), frame(118, 322, 320, 24));
    const QList<LLMPreset>& presets = LLMClient::presets();
    for (qsizetype index = 0; index < presets.size(); ++index) {
        m_providerPopup->addItem(presets[index].displayName, int(index));
    }
    connect(m_providerPopup, &QComboBox::activated, this,
            &SettingsWindowController::providerChanged);

    rowLabel(w, SettingsText::tr("Base URL："), frame(20, 288, 90, 22));
    m_baseURLField = place(new QLineEdit(w), frame(118, 288, 320, 24));
    m_baseURLField->setPlaceholderText(LLMClientOptions{}.lmstudioBaseURL);
    connect(m_baseURLField, &QLineEdit::editingFinished, this,
            &SettingsWindowController::textChanged);

    rowLabel(w, SettingsText::tr("API Key："), frame(20, 254, 90, 22));
    m_apiKeyField = place(new QLineEdit(w), frame(118, 254, 286, 24));
    m_apiKeyField->setEchoMode(QLineEdit::Password);
    m_apiKeyField->setPlaceholderText(SettingsText::tr("本地服务可留空"));
    connect(m_apiKeyField, &QLineEdit::editingFinished, this,
            &SettingsWindowController::keyFieldEdited);
    m_revealKeyButton = place(new QToolButton(w), frame(410, 254, 26, 24));
    m_revealKeyButton->setAutoRaise(true);
    m_revealKeyButton->setIcon(eyeIcon(false));
    m_revealKeyButton->setAccessibleName(SettingsText::tr("显示 API Key"));
    m_revealKeyButton->setToolTip(SettingsText::tr("显示 API Key"));
    connect(m_revealKeyButton, &QToolButton::clicked, this,
            &SettingsWindowController::revealKeyToggled);

    m_modelLabel = rowLabel(w, SettingsText::tr("模型："), frame(20, 220, 90, 22));
    m_modelCombo = place(new QComboBox(w), frame(118, 220, 210, 24));
    m_modelCombo->setEditable(true);
    m_modelCombo->setInsertPolicy(QComboBox::NoInsert);
    m_modelCombo->lineEdit()->setPlaceholderText(SettingsText::tr("模型名（可手输）"));
    connect(m_modelCombo->lineEdit(), &QLineEdit::editingFinished, this,
            &SettingsWindowController::textChanged);
    connect(m_modelCombo, &QComboBox::activated, this, &SettingsWindowController::textChanged);
    m_fetchButton =
        place(new QPushButton(SettingsText::tr("从服务端拉取"), w), frame(336, 220, 100, 24), 11);
    connect(m_fetchButton, &QPushButton::clicked, this,
            &SettingsWindowController::fetchModelsClicked);
    m_pullModelButton =
        place(new QPushButton(SettingsText::tr("拉取推荐模型"), w), frame(336, 220, 100, 24), 11);
    m_pullModelButton->setToolTip(
        SettingsText::tr("后台下载 qwen2.5vl:3b（约 3GB），下载期间可继续其他操作"));
    m_pullModelButton->hide();
    connect(m_pullModelButton, &QPushButton::clicked, this,
            &SettingsWindowController::pullModelClicked);

    m_statusLabel = secondaryLabel(w, frame(20, 182, 420, 16), 11);

    rowLabel(w, SettingsText::tr("球体材质："), frame(20, 152, 90, 22));
    rowLabel(w, SettingsText::tr("面板不透明度："), frame(8, 118, 102, 22));
    m_opacitySlider = place(new QSlider(Qt::Horizontal, w), frame(118, 150, 230, 24));
    m_opacitySlider->setRange(75, 100);
    m_opacityValueLabel = secondaryLabel(w, frame(356, 152, 60, 22), 11);
    m_panelOpacitySlider = place(new QSlider(Qt::Horizontal, w), frame(118, 116, 230, 24));
    m_panelOpacitySlider->setRange(70, 100);
    m_panelOpacityValueLabel = secondaryLabel(w, frame(356, 118, 60, 22), 11);
    for (QSlider* slider : {m_opacitySlider, m_panelOpacitySlider}) {
        // 6 and 7 marks: one every 5 points.
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(5);
    }
    connect(m_opacitySlider, &QSlider::valueChanged, this,
            &SettingsWindowController::opacityChanged);
    connect(m_panelOpacitySlider, &QSlider::valueChanged, this,
            &SettingsWindowController::panelOpacityChanged);

    rowLabel(w, SettingsText::tr("皮肤："), frame(20, 84, 90, 22));
    m_skinPopup = place(new QComboBox(w), frame(118, 82, 200, 26));
    const auto& skins = BallSkinCatalog::all();
    for (size_t index = 0; index < skins.size(); ++index) {
        m_skinPopup->addItem(skins[index].displayName(), int(index));
    }
    connect(m_skinPopup, &QComboBox::activated, this, &SettingsWindowController::skinChanged);

    // 11 points rather than 12, so that a cloud provider's name fits beside the route.
    m_routeLabel = place(new QLabel(w), frame(20, 50, 200, 20), 11);
    m_clearConsentButton = place(new QPushButton(SettingsText::tr("重置云端传输同意"), w),
                                 frame(228, 48, 128, 24), 11);
    m_clearConsentButton->setToolTip(SettingsText::tr(
        "撤销「允许把内容发送到云端」的授权，下次处理前会重新询问；不影响已保存的 API Key"));
    connect(m_clearConsentButton, &QPushButton::clicked, this,
            &SettingsWindowController::clearCloudConsentClicked);

    auto* homepage =
        place(new QPushButton(SettingsText::tr("项目说明"), w), frame(20, 16, 80, 20), 11);
    homepage->setFlat(true);
    homepage->setCursor(Qt::PointingHandCursor);
    homepage->setStyleSheet(QStringLiteral("color: palette(link); text-align: left;"));
    connect(homepage, &QPushButton::clicked, this, &SettingsWindowController::homepageClicked);
    auto* onboarding = place(new QPushButton(SettingsText::tr("重新显示使用说明"), w),
                             frame(110, 16, 124, 20), 11);
    connect(onboarding, &QPushButton::clicked, this,
            &SettingsWindowController::showOnboardingClicked);
    auto* rescan = place(new QPushButton(SettingsText::tr("重新扫描"), w), frame(282, 14, 70, 26));
    connect(rescan, &QPushButton::clicked, this, &SettingsWindowController::rescanClicked);
    auto* done = place(new QPushButton(SettingsText::tr("完成"), w), frame(360, 14, 80, 26));
    m_window->installEventFilter(this);
    connect(done, &QPushButton::clicked, this, &SettingsWindowController::doneClicked);

    // Names for accessibility tools and tests.
    const std::pair<QObject*, const char*> names[] = {
        {m_providerPopup, "providerPopup"},
        {m_baseURLField, "baseURLField"},
        {m_apiKeyField, "apiKeyField"},
        {m_revealKeyButton, "revealKeyButton"},
        {m_modelCombo, "modelCombo"},
        {m_fetchButton, "fetchButton"},
        {m_statusLabel, "statusLabel"},
        {m_pullModelButton, "pullModelButton"},
        {m_routeLabel, "routeLabel"},
        {m_clearConsentButton, "clearConsentButton"},
        {m_skinPopup, "skinPopup"},
        {m_opacitySlider, "opacitySlider"},
        {m_opacityValueLabel, "opacityValueLabel"},
        {m_panelOpacitySlider, "panelOpacitySlider"},
        {m_panelOpacityValueLabel, "panelOpacityValueLabel"},
        {m_personaTextView, "personaTextView"},
        {homepage, "homepageButton"},
        {onboarding, "showOnboardingButton"},
        {rescan, "rescanButton"},
        {done, "doneButton"}};
    for (const auto& [object, name] : names) object->setObjectName(QLatin1String(name));

    connect(&m_client.discovery(), &LocalDiscovery::scanFinished, this, [this] {
        if (m_window->isVisible()) refreshUI();
    });
}

bool SettingsWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window.get() || event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    // A text field's Return ends its own edit (and is passed on to the window): not "完成".
    QWidget* focus = QApplication::focusWidget();
    const auto* combo = qobject_cast<QComboBox*>(focus);
    if (qobject_cast<QLineEdit*>(focus) || (combo && combo->isEditable())) return false;
    doneClicked();
    return true;
}

void SettingsWindowController::showSettings() {
    refreshUI();
    m_systemPage->refresh();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect geometry = m_window->frameGeometry();
        geometry.moveCenter(screen->availableGeometry().center());
        m_window->move(geometry.topLeft());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowController::setStatus(const QString& text) {
    m_statusLabel->setText(text);
}

void SettingsWindowController::refreshUI() {
    const QScopedValueRollback<bool> refreshing(m_refreshing, true);
    const LLMPreset preset = m_client.currentPreset();
    const QList<LLMPreset>& presets = LLMClient::presets();
    qsizetype index = 0;
    for (qsizetype candidate = 0; candidate < presets.size(); ++candidate) {
        if (presets[candidate].id == preset.id) {
            index = candidate;
            break;
        }
    }
    m_providerPopup->setCurrentIndex(m_providerPopup->findData(int(index)));

    m_baseURLField->setText(preset.baseURL.value_or(m_client.customBaseURL()));
    m_baseURLField->setEnabled(preset.isEditable());

    m_apiKeyField->setEnabled(preset.needsKey);
    if (m_keyPresetId != preset.id) {
        m_keyPresetId = preset.id;
        m_loadedKey.clear();
        m_apiKeyField->clear();
    }
    showKey(this, &m_client, preset);

    const ModelSettingsView view =
        modelSettingsView({preset, m_client.ollamaModels(), m_client.lmstudioModels(),
                           m_client.savedModelList(preset), m_client.ollamaServiceReachable(),
                           m_loadedKey.isEmpty()});
    m_modelCombo->clear();
    m_modelCombo->addItems(view.modelChoices);
    m_modelCombo->setEditText(m_client.model(preset));
    m_modelLabel->setVisible(view.showsModel);
    m_modelCombo->setVisible(view.showsModel);
    m_fetchButton->setVisible(view.showsFetch);
    m_pullModelButton->setVisible(view.showsPull);
    setStatus(view.status);

    // The route takes the whole row unless the consent button stands beside it; what still does
    // not fit ends in … with the whole route as tooltip.
    const QString route = OnboardingPanel::routeText(m_client);
    const int routeWidth = preset.needsKey ? 200 : kWidth - 40;
    m_routeLabel->resize(routeWidth, m_routeLabel->height());
    const QString shownRoute =
        m_routeLabel->fontMetrics().elidedText(route, Qt::ElideRight, routeWidth);
    m_routeLabel->setText(shownRoute);
    m_routeLabel->setToolTip(shownRoute == route ? QString() : route);
    m_clearConsentButton->setVisible(preset.needsKey);

    const int ballPercent = int(std::lround(Appearance::ballMaterialOpacity() * 100));
    const int panelPercent = int(std::lround(Appearance::panelOpacity() * 100));
    m_opacitySlider->setValue(ballPercent);
    m_opacityValueLabel->setText(QString::number(ballPercent) + u'%');
    m_panelOpacitySlider->setValue(panelPercent);
    m_panelOpacityValueLabel->setText(QString::number(panelPercent) + u'%');

    const auto& skins = BallSkinCatalog::all();
    const QString skinID = BallSkinPreference::current().id();
    for (size_t skin = 0; skin < skins.size(); ++skin) {
        if (skins[skin].id() == skinID) m_skinPopup->setCurrentIndex(int(skin));
    }

    m_personaTextView->setPlainText(UserProfile::persona(*Preferences::standard()));
}

void SettingsWindowController::textChanged() {
    if (m_refreshing) return;
    const LLMPreset preset = m_client.currentPreset();
    if (preset.isEditable()) m_client.setCustomBaseURL(trimmed(m_baseURLField->text()));
    if (preset.needsKey) {
        const QString key = trimmed(m_apiKeyField->text());
        // An unchanged key is never written again.
        if (key != m_loadedKey) {
            m_client.setKey(key, preset);
            m_loadedKey = key;
        }
    }
    if (!preset.isBuiltin()) m_client.setModel(trimmed(m_modelCombo->currentText()), preset);
}

void SettingsWindowController::keyFieldEdited() {
    if (m_refreshing) return;
    textChanged();
    // Entering a key changes what the status line offers.
    refreshUI();
}

void SettingsWindowController::providerChanged() {
    const QList<LLMPreset>& presets = LLMClient::presets();
    const int tag = m_providerPopup->currentData().toInt();
    if (tag < 0 || tag >= presets.size()) return;
    textChanged();
    const LLMPreset& preset = presets[tag];
    m_client.setCurrentPreset(preset);
    if (preset.isEditable() && m_client.customBaseURL().isEmpty()) {
        m_client.setCustomBaseURL(LLMClientOptions{}.lmstudioBaseURL);
    }
    refreshUI();
}

void SettingsWindowController::revealKeyToggled() {
    m_isKeyRevealed = !m_isKeyRevealed;
    const QString description =
        m_isKeyRevealed ? SettingsText::tr("隐藏 API Key") : SettingsText::tr("显示 API Key");
    m_revealKeyButton->setIcon(eyeIcon(m_isKeyRevealed));
    m_revealKeyButton->setAccessibleName(description);
    m_revealKeyButton->setToolTip(description);
    m_apiKeyField->setEchoMode(m_isKeyRevealed ? QLineEdit::Normal : QLineEdit::Password);
    m_apiKeyField->setFocus();
}

void SettingsWindowController::restoreSecureKeyField() {
    if (!m_isKeyRevealed) return;
    revealKeyToggled();
    m_window->setFocus();
}

void SettingsWindowController::fetchModelsClicked() {
    const LLMPreset preset = m_client.currentPreset();
    if (!preset.baseURL) return;
    textChanged();
    m_fetchButton->setEnabled(false);
    setStatus(SettingsText::tr("正在拉取模型列表…"));
    fetchModels(this, &m_client, preset);
}

QCoro::Task<void> SettingsWindowController::showKey(QPointer<SettingsWindowController> self,
                                                    LLMClient* client, LLMPreset preset) {
    const QString shown = self->m_loadedKey;
    const QString key = co_await client->key(preset);
    // The window may be gone, on another preset, or the user may have typed meanwhile.
    if (!self || client->currentPreset().id != preset.id) co_return;
    if (self->m_apiKeyField->text() != shown || self->m_loadedKey != shown) co_return;
    if (key == self->m_loadedKey) co_return;
    {
        const QScopedValueRollback<bool> refreshing(self->m_refreshing, true);
        self->m_apiKeyField->setText(key);
        self->m_loadedKey = key;
    }
    // The status line depends on whether a key is there.
    self->refreshUI();
}

QCoro::Task<void> SettingsWindowController::fetchModels(QPointer<SettingsWindowController> self,
                                                        LLMClient* client, LLMPreset preset) {
    QStringList names;
    std::exception_ptr error;
    try {
        names = co_await client->fetchRemoteModels(preset);
    } catch (...) {
        error = std::current_exception();
    }
    if (!self) co_return;
    self->m_fetchButton->setEnabled(true);
    if (error) {
        self->setStatus(
            SettingsText::tr("拉取失败：%1").arg(errorText(error, SettingsText::tr("未知错误"))));
    } else if (names.isEmpty()) {
        self->setStatus(SettingsText::tr("服务端未返回模型列表"));
    } else {
        self->applyFetchedModels(preset, names);
    }
}

void SettingsWindowController::applyFetchedModels(const LLMPreset& preset,
                                                  const QStringList& names) {
    QStringList saved = m_client.savedModelList(preset);
    for (const QString& name : names) {
        if (!saved.contains(name)) saved << name;
    }
    m_client.saveModelList(saved, preset);
    refreshUI();
    setStatus(SettingsText::tr("已拉取 %n 个模型（累计 %1 个）", nullptr, int(names.size()))
                  .arg(saved.size()));
}

void SettingsWindowController::pullModelClicked() {
    if (m_isPullingModel) return;
    m_isPullingModel = true;
    m_pullModelButton->setEnabled(false);
    const QString model = QLatin1String(LLMClient::defaultModel);
    setStatus(SettingsText::tr("正在拉取 %1（约 3GB）…").arg(model));
    QPointer<SettingsWindowController> self(this);
    OllamaCLI::pull(
        model,
        [self](const QString& line) {
            if (self && self->m_isPullingModel)
                self->setStatus(SettingsText::tr("拉取中：%1").arg(line));
        },
        [self, model](bool succeeded) {
            if (!self) return;
            self->m_isPullingModel = false;
            self->m_pullModelButton->setEnabled(true);
            if (succeeded) {
                self->setStatus(SettingsText::tr("拉取完成，正在重新扫描模型…"));
                self->m_client.scanLocalProviders();
            } else {
                self->setStatus(SettingsText::tr("拉取失败，可在终端手动执行：%1")
                                    .arg(QStringLiteral("ollama pull ") + model));
            }
        },
        m_ollamaCandidates);
}

void SettingsWindowController::skinChanged() {
    const auto& skins = BallSkinCatalog::all();
    const int tag = m_skinPopup->currentData().toInt();
    if (tag >= 0 && size_t(tag) < skins.size()) BallSkinPreference::setCurrent(skins[tag]);
}

void SettingsWindowController::opacityChanged() {
    if (m_refreshing) return;
    const int value = m_opacitySlider->value();
    Appearance::setBallMaterialOpacity(value / 100.0);
    m_opacityValueLabel->setText(QString::number(value) + u'%');
}

void SettingsWindowController::panelOpacityChanged() {
    if (m_refreshing) return;
    const int value = m_panelOpacitySlider->value();
    Appearance::setPanelOpacity(value / 100.0);
    m_panelOpacityValueLabel->setText(QString::number(value) + u'%');
}

void SettingsWindowController::personaChanged() {
    if (m_refreshing) return;
    UserProfile::setPersona(*Preferences::standard(), m_personaTextView->toPlainText());
}

void SettingsWindowController::clearCloudConsentClicked() {
    const LLMPreset preset = m_client.currentPreset();
    CloudTransmissionGate::clearConsent(*Preferences::standard(), preset.id);
    setStatus(SettingsText::tr("已清除「%1」的云端传输同意").arg(preset.displayName));
}

void SettingsWindowController::rescanClicked() {
    setStatus(SettingsText::tr("扫描中…"));
    m_client.scanLocalProviders();
}

void SettingsWindowController::showOnboardingClicked() {
    OnboardingPanel::show(m_window->frameGeometry(), {}, m_client);
}

void SettingsWindowController::homepageClicked() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(homepagePath)));
}

void SettingsWindowController::doneClicked() {
    textChanged();
    m_systemPage->save();
    restoreSecureKeyField();
    m_window->close();
}

}  // namespace zorbel
