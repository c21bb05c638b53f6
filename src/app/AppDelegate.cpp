#include "app/AppDelegate.h"

#include <QApplication>
#include <QFileInfo>
#include <QSystemTrayIcon>
#include <QTimer>

#include "llm/CredentialMigrator.h"
#include "llm/LLMClient.h"
#include "support/Preferences.h"
#include "ui/settings/OnboardingPanel.h"

namespace zorbel {

AppDelegate::AppDelegate(AppDelegateOptions options) : m_options(std::move(options)) {
    if (m_options.executablePath.isEmpty()) {
        m_options.executablePath = QCoreApplication::applicationFilePath();
    }
    Q_ASSERT(m_options.credentials && m_options.client);
    if (!m_options.showMountedCopyAlert) m_options.showMountedCopyAlert = showMountedCopyAlert;
}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::applicationDidFinishLaunching(const std::function<QWidget*()>& makeBallWindow) {
    m_singleInstance = std::make_unique<SingleInstance>(
        m_options.instanceServerName, m_options.executablePath,
        SingleInstance::Actions{[] { QCoreApplication::quit(); }, m_options.showMountedCopyAlert});
    if (!m_singleInstance->ensureSingleInstance()) {
        QCoreApplication::quit();
        return false;
    }
    // Windows are tool windows without a taskbar entry; none of them ends the process.
    QApplication::setQuitOnLastWindowClosed(false);
    migratePredecessorSettings();
    // Its first write is queued before anything else asks the store.
    migrateCredentials(m_options.credentials);
    buildMenu();

    m_ballWindow = makeBallWindow();
    // The menu's shortcuts work whenever a window of the application is active.
    m_ballWindow->addActions(m_menu.actions());
    m_ballWindow->show();
    m_ballWindow->raise();
    // Asking the desktop for a tray is a round trip on the session bus: after the ball is up.
    QTimer::singleShot(0, this, &AppDelegate::showTrayIcon);

    m_options.client->scanLocalProviders();
    AppLogger::shared().record(AppLogEvent::launch());
    if (OnboardingPanel::needsShow()) {
        OnboardingPanel::show(m_ballWindow->frameGeometry(), {}, *m_options.client);
    }
    return true;
}

void AppDelegate::openSettings() {
    if (m_options.showSettings) m_options.showSettings();
}

void AppDelegate::migratePredecessorSettings() {
    const std::shared_ptr<Preferences> defaults = Preferences::standard();
    const QString flag = QLatin1String(migrationFlagKey);
    if (defaults->contains(flag)) return;
    const Preferences predecessor{QLatin1String(predecessorDomain)};
    const QFileInfo file(predecessor.filePath());
    // Unreadable now: try again at the next launch.
    if (file.exists() && !file.isReadable()) return;
    for (const QString& key : predecessor.allKeys()) {
        // Keys go from there straight to the secret store (`migrateCredentials`).
        if ((key.startsWith(u"llm.") || key.startsWith(u"ui.")) &&
            !CredentialMigrator::isKey(key)) {
            defaults->setValue(key, predecessor.value(key));
        }
    }
    defaults->setValue(flag, true);
    AppLogger::removeLegacyDebugLog(m_options.legacyDebugLogPath);
}

QCoro::Task<void> AppDelegate::migrateCredentials(std::shared_ptr<CredentialStoring> credentials) {
    try {
        CredentialMigrator migrator(
            Preferences::standard(), std::move(credentials),
            std::make_shared<Preferences>(QLatin1String(predecessorDomain)));
        co_await migrator.migrateIfNeeded();
    } catch (const std::exception&) {
        AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("credentialMigration")));
    }
}

void AppDelegate::buildMenu() {
    QAction* settings = m_menu.addAction(tr("设置…"), this, &AppDelegate::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(tr("退出 Zorbel"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* action : {settings, quit}) action->setShortcutContext(Qt::ApplicationShortcut);
}

void AppDelegate::showTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/zorbel/zorbel.svg")), this);
    m_tray->setToolTip(QStringLiteral("Zorbel"));
    m_tray->setContextMenu(&m_menu);
    m_tray->show();
}

}  // namespace zorbel
