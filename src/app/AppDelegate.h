#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/SingleInstance.h"
#include "core/CredentialStoring.h"
#include "llm/LLMClient.h"
#include "support/AppLogger.h"

class QSystemTrayIcon;

namespace zorbel {

/// What the launch uses from its surroundings: the services the program built, and defaults
/// that tests replace (the socket, the alert).
struct AppDelegateOptions {
    QString instanceServerName = SingleInstance::defaultServerName();
    /// This copy's program; empty: the running executable.
    QString executablePath;
    /// The secret store API keys migrate into.
    std::shared_ptr<CredentialStoring> credentials;
    QString legacyDebugLogPath = QLatin1String(AppLogger::kLegacyDebugLogPath);
    /// The model client whose local scan starts at launch and whose preset the onboarding
    /// panel names.
    LLMClient* client = nullptr;
    /// The alert of a copy that gives way; null: the modal alert.
    std::function<void()> showMountedCopyAlert;
    /// Shows the settings window ("设置…" in the menu).
    std::function<void()> showSettings;
};

/// Starts the application and keeps its ball window for the life of the process. Closing
/// windows never ends the application: only "退出 Zorbel" (or the system) does. GUI thread only.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    /// The flag set once the predecessor's settings were copied.
    static constexpr const char* migrationFlagKey = "defaults.migratedFromPinwave";
    /// The predecessor's preference domain.
    static constexpr const char* predecessorDomain = "com.pinwave.app";

    explicit AppDelegate(AppDelegateOptions options = {});
    ~AppDelegate() override;

    /// The launch sequence. `makeBallWindow` creates the floating ball window; it is shown and
    /// kept. Returns false when this copy must quit (another copy runs; the event loop is asked
    /// to end).
    bool applicationDidFinishLaunching(const std::function<QWidget*()>& makeBallWindow);

    QWidget* ballWindow() const { return m_ballWindow; }
    /// The tray and shortcut menu: "设置…", "退出 Zorbel".
    QMenu* menu() { return &m_menu; }

    /// Shows the settings window.
    void openSettings();

private:
    void migratePredecessorSettings();
    /// Moves old keys into the secret store; a failure is logged and retried at the next launch.
    static QCoro::Task<void> migrateCredentials(std::shared_ptr<CredentialStoring> credentials);
    void buildMenu();
    /// The tray icon with the menu, where the desktop has a tray.
    void showTrayIcon();

    AppDelegateOptions m_options;
    std::unique_ptr<SingleInstance> m_singleInstance;
    QMenu m_menu;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QWidget> m_ballWindow;
};

}  // namespace zorbel
