// The launch sequence: the one-time copy of the predecessor's settings, the credential move,
// the ball window, the local scan, the log and the first-use panel; and the single-instance rule
// between copies running from a mounted image and installed ones.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/AppDelegate.h"
#include "llm/LocalDiscovery.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/ShellEnvironment.h"
#include "testkit/TempXdg.h"
#include "ui/settings/OnboardingPanel.h"

using namespace zorbel;

namespace {

const QString kInstalled = QStringLiteral("/usr/bin/zorbel");
const QString kMounted = QStringLiteral("/tmp/.mount_ZorbelX1/usr/bin/zorbel");

struct Launch : test::ShellEnvironment {
    int scans = 0;
    int settingsShown = 0;

    Launch() {
        QObject::connect(&client.discovery(), &LocalDiscovery::scanFinished, [this] { ++scans; });
    }

    QString legacyLog() const { return dir.filePath(QStringLiteral("zorbel_debug.log")); }

    void writeLegacyLog() const {
        QFile file(legacyLog());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    std::unique_ptr<AppDelegate> launch(const QString& socketName = QStringLiteral("socket")) {
        auto delegate = std::make_unique<AppDelegate>(AppDelegateOptions{
            .instanceServerName = dir.filePath(socketName),
            .executablePath = kInstalled,
            .credentials = credentials,
            .legacyDebugLogPath = legacyLog(),
            .client = &client,
            .showMountedCopyAlert = [] { ADD_FAILURE() << "no alert expected"; },
            .showSettings = [this] { ++settingsShown; },
        });
        EXPECT_TRUE(delegate->applicationDidFinishLaunching([] { return new QWidget; }));
        return delegate;
    }
};

/// The permission bits of `path` itself (not of what a link there points to); 0 when absent.
unsigned modeOf(const QString& path) {
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void closeOnboarding() {
    if (OnboardingPanel* panel = OnboardingPanel::current()) panel->close();
}

}  // namespace

TEST(AppDelegate, FirstLaunchCopiesThePredecessorsKeysOnceAndMovesTheKey) {
    Launch fixture;
    const std::shared_ptr<Preferences> defaults = Preferences::standard();
    {
        Preferences predecessor{QLatin1String(AppDelegate::predecessorDomain)};
        predecessor.setValue(QStringLiteral("llm.apiKey"), QStringLiteral("sk-old"));
        predecessor.setValue(QStringLiteral("llm.preset"), QStringLiteral("custom"));
        predecessor.setValue(QStringLiteral("ui.ballMaterialOpacity"), 0.8);
        predecessor.setValue(QStringLiteral("user.persona"), QStringLiteral("律师"));
        predecessor.sync();
    }
    defaults->setValue(QStringLiteral("llm.apiKey"), QStringLiteral("sk-new"));
    fixture.writeLegacyLog();

    test::LogCapture log;
    auto first = fixture.launch(QStringLiteral("first"));
    EXPECT_TRUE(defaults->boolean(QLatin1String(AppDelegate::migrationFlagKey)));
    EXPECT_EQ(fixture.credentials->secrets.value(QStringLiteral("custom")), u"sk-old");
    EXPECT_FALSE(defaults->contains(QStringLiteral("llm.apiKey")));
    EXPECT_FALSE(Preferences{QLatin1String(AppDelegate::predecessorDomain)}.contains(
        QStringLiteral("llm.apiKey")));
    EXPECT_EQ(defaults->string(QStringLiteral("llm.preset")), u"custom");
    EXPECT_EQ(defaults->number(QStringLiteral("ui.ballMaterialOpacity")), 0.8);
    EXPECT_FALSE(defaults->contains(QStringLiteral("user.persona")));
    EXPECT_FALSE(QFile::exists(fixture.legacyLog()));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("event=launch")));
    EXPECT_TRUE(log.failureCodes().isEmpty());
    closeOnboarding();

    // The second launch neither reads the predecessor nor removes the log again.
    {
        Preferences predecessor{QLatin1String(AppDelegate::predecessorDomain)};
        predecessor.setValue(QStringLiteral("llm.model"), QStringLiteral("later"));
        predecessor.sync();
    }
    fixture.writeLegacyLog();
    auto second = fixture.launch(QStringLiteral("second"));
    EXPECT_FALSE(defaults->contains(QStringLiteral("llm.model")));
    EXPECT_TRUE(QFile::exists(fixture.legacyLog()));
    closeOnboarding();
}

TEST(AppDelegate, ShowsTheBallScansAndOffersTheFirstUsePanelWhenDue) {
    Launch fixture;
    auto delegate = fixture.launch();
    ASSERT_NE(delegate->ballWindow(), nullptr);
    EXPECT_TRUE(delegate->ballWindow()->isVisible());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    EXPECT_TRUE(test::spinUntil([&] { return fixture.scans == 1; }));
    ASSERT_NE(OnboardingPanel::current(), nullptr);
    OnboardingPanel::current()->closeClicked();

    // Acknowledged: the next launch shows no panel.
    auto next = fixture.launch(QStringLiteral("next"));
    EXPECT_EQ(OnboardingPanel::current(), nullptr);

    // The menu's two commands, reachable by their shortcuts from every window.
    QStringList shortcuts;
    for (QAction* action : delegate->ballWindow()->actions()) {
        if (action->shortcutContext() == Qt::ApplicationShortcut) {
            shortcuts << action->shortcut().toString();
        }
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Comma)) action->trigger();
    }
    EXPECT_EQ(shortcuts, QStringList({QStringLiteral("Ctrl+,"), QStringLiteral("Ctrl+Q")}));
    EXPECT_EQ(fixture.settingsShown, 1);
}

TEST(AppDelegate, AFailingSecretStoreIsLoggedAndLaunchGoesOn) {
    Launch fixture;
    Preferences predecessor{QLatin1String(AppDelegate::predecessorDomain)};
    predecessor.setValue(QStringLiteral("llm.apiKey"), QStringLiteral("sk"));
    predecessor.sync();
    fixture.credentials->failingWrite = 1;
    test::LogCapture log;
    auto delegate = fixture.launch();
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("credentialMigration")});
    EXPECT_TRUE(delegate->ballWindow()->isVisible());
    EXPECT_TRUE(log.lines().contains(QStringLiteral("event=launch")));
    // Kept for the next try only where it was, never copied into the new, owner-only file.
    Preferences::standard()->sync();
    EXPECT_FALSE(Preferences::standard()->contains(QStringLiteral("llm.apiKey")));
    EXPECT_EQ(modeOf(Preferences::standard()->filePath()), 0600u);
    EXPECT_EQ(Preferences{QLatin1String(AppDelegate::predecessorDomain)}.string(
                  QStringLiteral("llm.apiKey")),
              u"sk");
    closeOnboarding();
}

namespace {

struct Copy {
    int alerts = 0;
    int terminations = 0;
    SingleInstance instance;

    Copy(const QString& socket, const QString& path)
        : instance(socket, path, {[this] { ++terminations; }, [this] { ++alerts; }}) {}
};

}  // namespace

TEST(SingleInstance, OnlyACopyFromAMountedImageGivesWay) {
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("instance"));
    EXPECT_TRUE(SingleInstance::isMountedImage(kMounted));
    EXPECT_FALSE(SingleInstance::isMountedImage(kInstalled));

    // Alone: no alert whatever the path.
    Copy mounted(socket, kMounted);
    EXPECT_TRUE(mounted.instance.ensureSingleInstance());
    EXPECT_EQ(mounted.alerts, 0);

    // An installed copy starting beside it makes it quit.
    Copy installed(socket, kInstalled);
    EXPECT_TRUE(installed.instance.ensureSingleInstance());
    EXPECT_TRUE(test::spinUntil([&] { return mounted.terminations == 1; }));
    EXPECT_EQ(installed.alerts, 0);
}

TEST(SingleInstance, AMountedCopyBesideAnInstalledOneShowsTheAlertAndQuits) {
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("instance"));
    Copy installed(socket, kInstalled);
    EXPECT_TRUE(installed.instance.ensureSingleInstance());

    Copy mounted(socket, kMounted);
    EXPECT_FALSE(mounted.instance.ensureSingleInstance());
    EXPECT_EQ(mounted.alerts, 1);

    // A second installed copy runs beside the first.
    Copy another(socket, QStringLiteral("/opt/zorbel/bin/zorbel"));
    EXPECT_TRUE(another.instance.ensureSingleInstance());
    test::spinUntil([] { return false; }, 100);
    EXPECT_EQ(installed.terminations, 0);
    EXPECT_EQ(another.alerts, 0);
}

TEST(SingleInstance, SocketSitsOnlyInAFolderOfTheUsersOwn) {
    enum class Before { nothing, openFolder, link };
    const struct {
        bool runtime;
        Before before;
        bool usable;
    } rows[] = {{true, Before::nothing, true},
                {false, Before::nothing, true},
                {false, Before::openFolder, false},
                {false, Before::link, false}};
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(&row - rows));
        test::TempXdg xdg;
        const QString base = xdg.root() + QLatin1String(row.runtime ? "/run" : "/cache");
        if (row.runtime) {
            ASSERT_TRUE(QDir().mkpath(base));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base));
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        const QString folder = base + QStringLiteral("/zorbel");
        if (row.before == Before::openFolder) {
            ASSERT_TRUE(QDir().mkpath(folder));
            chmod(QFile::encodeName(folder).constData(), 0755);
        } else if (row.before == Before::link) {
            ASSERT_TRUE(QDir().mkpath(base));
            ASSERT_TRUE(QFile::link(xdg.root(), folder));
        }
        const QString socket = SingleInstance::defaultServerName();
        if (!row.usable) {
            EXPECT_TRUE(socket.isEmpty());
            continue;
        }
        EXPECT_EQ(socket, folder + QStringLiteral("/instance"));
        EXPECT_EQ(modeOf(folder), 0700u);
        Copy copy(socket, kInstalled);
        EXPECT_TRUE(copy.instance.ensureSingleInstance());
        EXPECT_TRUE(QFileInfo::exists(socket));
    }
    if (runtime.isEmpty()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
}
