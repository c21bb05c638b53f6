// The launch sequence, and the single-instance rule between mounted and installed copies.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/AppDelegate.h"
#include "app/DisplayPlatform.h"
#include "llm/LocalDiscovery.h"
#include "support/Preferences.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/ShellEnvironment.h"
#include "testkit/TempXdg.h"
#include "ui/settings/OnboardingPanel.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString kInstalled = u"/usr/bin/zorbel"_s;
const QString kMounted = u"/tmp/.mount_ZorbelX1/usr/bin/zorbel"_s;

struct Launch : test::ShellEnvironment {
    int scans = 0;
    int settingsShown = 0;
    std::shared_ptr<Preferences> defaults = Preferences::standard();
    QString legacyLog = dir.filePath(u"zorbel_debug.log"_s);

    Launch() {
        QObject::connect(&client.discovery(), &LocalDiscovery::scanFinished, [this] { ++scans; });
    }
    static void setPredecessor(const QString& key, const QVariant& value) {
        Preferences predecessor{QLatin1String(AppDelegate::predecessorDomain)};
        predecessor.setValue(key, value);
        predecessor.sync();
    }
    std::unique_ptr<AppDelegate> launch(const QString& socketName) {
        QFile(legacyLog).open(QIODevice::WriteOnly);
        auto delegate = std::make_unique<AppDelegate>(AppDelegateOptions{
            .instanceServerName = dir.filePath(socketName),
            .executablePath = kInstalled,
            .credentials = credentials,
            .legacyDebugLogPath = legacyLog,
            .client = &client,
            .showMountedCopyAlert = [] { ADD_FAILURE() << "no alert expected"; },
            .showSettings = [this] { ++settingsShown; },
        });
        EXPECT_TRUE(delegate->applicationDidFinishLaunching([] { return new QWidget; }));
        return delegate;
    }
};

}  // namespace

TEST(AppDelegate, FirstLaunchShowsTheBallCopiesThePredecessorsSettingsAndOffersThePanelOnce) {
    Launch fixture;
    fixture.setPredecessor(u"llm.apiKey"_s, u"sk-old"_s);
    fixture.setPredecessor(u"llm.preset"_s, u"custom"_s);
    fixture.setPredecessor(u"ui.ballMaterialOpacity"_s, 0.8);
    fixture.setPredecessor(u"user.persona"_s, u"律师"_s);
    fixture.defaults->setValue(u"llm.apiKey"_s, u"sk-new"_s);
    test::LogCapture log;
    auto first = fixture.launch(u"first"_s);
    ASSERT_NE(first->ballWindow(), nullptr);
    EXPECT_TRUE(first->ballWindow()->isVisible());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    EXPECT_TRUE(log.lines().contains(u"event=launch"_s));
    EXPECT_TRUE(log.failureCodes().isEmpty());
    EXPECT_TRUE(test::spinUntil([&] { return fixture.scans == 1; }));
    EXPECT_TRUE(fixture.defaults->boolean(QLatin1String(AppDelegate::migrationFlagKey)));
    EXPECT_EQ(fixture.credentials->secrets.value(u"custom"_s), u"sk-old");
    EXPECT_FALSE(fixture.defaults->contains(u"llm.apiKey"_s));
    EXPECT_FALSE(
        Preferences{QLatin1String(AppDelegate::predecessorDomain)}.contains(u"llm.apiKey"_s));
    EXPECT_EQ(fixture.defaults->string(u"llm.preset"_s), u"custom");
    EXPECT_EQ(fixture.defaults->number(u"ui.ballMaterialOpacity"_s), 0.8);
    EXPECT_FALSE(fixture.defaults->contains(u"user.persona"_s));
    EXPECT_FALSE(QFile::exists(fixture.legacyLog));
    ASSERT_NE(OnboardingPanel::current(), nullptr);
    OnboardingPanel::current()->closeClicked();

    // The second launch neither reads the predecessor nor removes the log again; the panel,
    // acknowledged, is not offered again.
    fixture.setPredecessor(u"llm.model"_s, u"later"_s);
    auto second = fixture.launch(u"second"_s);
    EXPECT_FALSE(fixture.defaults->contains(u"llm.model"_s));
    EXPECT_TRUE(QFile::exists(fixture.legacyLog));
    EXPECT_EQ(OnboardingPanel::current(), nullptr);

    QStringList shortcuts;
    for (QAction* action : first->ballWindow()->actions()) {
        if (action->shortcutContext() == Qt::ApplicationShortcut) {
            shortcuts << action->shortcut().toString();
        }
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Comma)) action->trigger();
    }
    EXPECT_EQ(shortcuts, QStringList({u"Ctrl+,"_s, u"Ctrl+Q"_s}));
    EXPECT_EQ(fixture.settingsShown, 1);
}

TEST(AppDelegate, AFailingSecretStoreIsLoggedAndTheKeyStaysOnlyWhereItWas) {
    Launch fixture;
    fixture.setPredecessor(u"llm.apiKey"_s, u"sk"_s);
    fixture.credentials->failingWrite = 1;
    test::LogCapture log;
    auto delegate = fixture.launch(u"socket"_s);
    EXPECT_EQ(log.failureCodes(), QStringList{u"credentialMigration"_s});
    EXPECT_TRUE(delegate->ballWindow()->isVisible());
    // Kept for the next try, never copied into the new, owner-only file.
    fixture.defaults->sync();
    EXPECT_FALSE(fixture.defaults->contains(u"llm.apiKey"_s));
    EXPECT_EQ(test::fileMode(fixture.defaults->filePath()), 0600u);
    EXPECT_EQ(Preferences{QLatin1String(AppDelegate::predecessorDomain)}.string(u"llm.apiKey"_s),
              u"sk");
    OnboardingPanel::current()->close();
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

TEST(SingleInstance, OnlyACopyFromAMountedImageGivesWayAndOnlyToAnInstalledOne) {
    QTemporaryDir dir;
    Copy mounted(dir.filePath(u"first"_s), kMounted);
    EXPECT_TRUE(mounted.instance.ensureSingleInstance());  // alone: no alert whatever the path
    Copy installed(dir.filePath(u"first"_s), kInstalled);
    EXPECT_TRUE(installed.instance.ensureSingleInstance());
    EXPECT_TRUE(test::spinUntil([&] { return mounted.terminations == 1; }));

    // Beside a listening installed copy a mounted one alerts and quits, another installed runs.
    Copy listening(dir.filePath(u"second"_s), kInstalled);
    EXPECT_TRUE(listening.instance.ensureSingleInstance());
    Copy late(dir.filePath(u"second"_s), kMounted);
    EXPECT_FALSE(late.instance.ensureSingleInstance());
    Copy another(dir.filePath(u"second"_s), u"/opt/zorbel/bin/zorbel"_s);
    EXPECT_TRUE(another.instance.ensureSingleInstance());
    test::spinUntil([] { return false; }, 100);
    EXPECT_EQ(listening.terminations, 0);
    EXPECT_EQ(std::tuple(mounted.alerts, installed.alerts, late.alerts, another.alerts),
              std::tuple(0, 0, 1, 0));
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
        QDir().mkpath(base);
        if (row.runtime) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base));
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        const QString folder = base + u"/zorbel"_s;
        if (row.before == Before::openFolder) {
            ASSERT_TRUE(QDir().mkpath(folder));
            chmod(QFile::encodeName(folder).constData(), 0755);
        } else if (row.before == Before::link) {
            ASSERT_TRUE(QFile::link(xdg.root(), folder));
        }
        const QString socket = SingleInstance::defaultServerName();
        EXPECT_EQ(socket, row.usable ? folder + u"/instance"_s : QString());
        if (!row.usable) continue;
        EXPECT_EQ(test::fileMode(folder), 0700u);
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

// In a Wayland session the ball runs on the X server beside it, where there is one, so that it
// can stay above other windows and where it was parked; a platform the user set is kept, and
// without Wayland Qt chooses as ever.
TEST(DisplayPlatform, AWaylandSessionWithAnXServerRunsOnXcbUnlessTheUserChoseAPlatform) {
    using zorbel::DisplayPlatform::Session;
    const std::pair<Session, QByteArray> cases[] = {
        {{"", "wayland-0", ":0"}, "xcb"},
        {{"wayland", "wayland-0", ":0"}, ""},
        {{"xcb", "wayland-0", ""}, ""},
        {{"", "wayland-0", ""}, ""},
        {{"", "", ":1"}, ""},
        {{"", "", ""}, ""},
    };
    for (const auto& [session, expected] : cases) {
        EXPECT_EQ(zorbel::DisplayPlatform::chosen(session), expected)
            << session.qpaPlatform.data() << " | " << session.waylandDisplay.data() << " | "
            << session.x11Display.data();
    }
}
