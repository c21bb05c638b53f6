#pragma once

#include <qcoro/qcorotask.h>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QWidget>
#include <memory>

#include "llm/LLMClient.h"
#include "llm/OllamaCLI.h"
#include "ui/settings/SystemSettingsPage.h"

namespace zorbel {

/// The settings window "Zorbel 设置": provider, base URL, key and model, the model list and the
/// recommended local model, persona, skin, the two opacities, cloud consent, rescan, the
/// onboarding panel and the home page. Built once; every show refreshes it from the stored
/// settings. Closing only hides it. GUI thread only; late callbacks of a destroyed controller do
/// nothing.
class SettingsWindowController final : public QObject {
    Q_OBJECT
public:
    /// The size of each page; the window adds its tab bar above.
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 506;
    /// The project's home page.
    /// The project's own page: the README installed with the program (the desktop opens it).
    static constexpr const char* homepagePath = ZORBEL_DOC_README;

    /// `client` must outlive the controller; `credentials` keeps the calendar and speech
    /// secrets; `ollamaCandidates` is where the tool is looked for.
    SettingsWindowController(LLMClient& client, std::shared_ptr<CredentialStoring> credentials,
                             QStringList ollamaCandidates = OllamaCLI::candidatePaths());
    ~SettingsWindowController() override;

    /// Refreshes every control, centres the window and shows it in front.
    void showSettings();
    QWidget* window() const { return m_window.get(); }

    void refreshUI();
    void providerChanged();
    void textChanged();
    void keyFieldEdited();
    void revealKeyToggled();
    void fetchModelsClicked();
    void pullModelClicked();
    void skinChanged();
    void opacityChanged();
    void panelOpacityChanged();
    void personaChanged();
    void clearCloudConsentClicked();
    void rescanClicked();
    void showOnboardingClicked();
    void homepageClicked();
    void doneClicked();

    /// Adds the names of a downloaded model list that are new to the preset's saved list, saves
    /// it and reports both counts.
    void applyFetchedModels(const LLMPreset& preset, const QStringList& names);

protected:
    /// Return outside a text field is "完成".
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void restoreSecureKeyField();
    void setStatus(const QString& text);
    /// Fills the key fields once the preset's key is read from the secret store.
    static QCoro::Task<void> showKey(QPointer<SettingsWindowController> self, LLMClient* client,
                                     LLMPreset preset);
    static QCoro::Task<void> fetchModels(QPointer<SettingsWindowController> self, LLMClient* client,
                                         LLMPreset preset);

    LLMClient& m_client;
    std::shared_ptr<CredentialStoring> m_credentials;
    SystemSettingsPage* m_systemPage = nullptr;
    QStringList m_ollamaCandidates;
    std::unique_ptr<QWidget> m_window;
    QComboBox* m_providerPopup = nullptr;
    QLineEdit* m_baseURLField = nullptr;
    QLineEdit* m_apiKeyField = nullptr;
    QString m_loadedKey;
    QString m_keyPresetId;  ///< the preset whose key the fields hold
    QToolButton* m_revealKeyButton = nullptr;
    bool m_isKeyRevealed = false;
    QLabel* m_modelLabel = nullptr;
    QComboBox* m_modelCombo = nullptr;
    QPushButton* m_fetchButton = nullptr;
    QLabel* m_statusLabel = nullptr;
    QPushButton* m_pullModelButton = nullptr;
    bool m_isPullingModel = false;
    QLabel* m_routeLabel = nullptr;
    QPushButton* m_clearConsentButton = nullptr;
    QComboBox* m_skinPopup = nullptr;
    QSlider* m_opacitySlider = nullptr;
    QLabel* m_opacityValueLabel = nullptr;
    QSlider* m_panelOpacitySlider = nullptr;
    QLabel* m_panelOpacityValueLabel = nullptr;
    QPlainTextEdit* m_personaTextView = nullptr;
    /// Set while refreshing, so that filling the controls does not run their actions.
    bool m_refreshing = false;
};

}  // namespace zorbel
