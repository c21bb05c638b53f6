#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "capture/CloudTransmissionGate.h"
#include "cli/EventJson.h"
#include "llm/KeychainCredentialStore.h"
#include "support/HttpExchange.h"
#include "support/Preferences.h"
#include "testkit/CalDavServers.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/FileFixtures.h"
#include "testkit/GoldenFolder.h"
#include "testkit/SecretStoreSession.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;

namespace {

/// What a run of zorbel-extract gave.
struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

/// The Shanghai zone, Chinese texts (or those of `lang`), no product log on standard error;
/// without `sessionBus` no secret store is reachable.
QProcessEnvironment extractEnvironment(bool sessionBus, const QString& lang = u"zh_CN.UTF-8"_s) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!sessionBus) env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
    for (const QString& overriding : {u"LANGUAGE"_s, u"LC_ALL"_s, u"LC_MESSAGES"_s}) {
        env.remove(overriding);
    }
    env.insert(u"LANG"_s, lang);
    env.insert(u"TZ"_s, u"Asia/Shanghai"_s);
    env.insert(u"QT_LOGGING_RULES"_s, u"com.zorbel.app.product.info=false"_s);
    return env;
}

/// Runs zorbel-extract in the Shanghai zone on `arguments` and `input`, its output into
/// `outputFile` if given, while the event loop serves the test's loopback servers. Without
/// `sessionBus` no secret store is reachable. Fails the test on a crash or after a minute.
Outcome runExtract(const QStringList& arguments, const QByteArray& input = {},
                   const QString& outputFile = {}, bool sessionBus = false,
                   const QString& lang = u"zh_CN.UTF-8"_s) {
    QProcess process;
    if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
    process.setProcessEnvironment(extractEnvironment(sessionBus, lang));
    process.start(QStringLiteral(ZORBEL_EXTRACT_PATH), arguments);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(
        zorbel::test::spinUntil([&] { return process.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "the program crashed";
    return {process.exitCode(), process.readAllStandardOutput(),
            QString::fromUtf8(process.readAllStandardError())};
}

const char* const kOneEvent =
    R"({"events":[{"title":"项目评审","start_time":"2026-12-07T15:00:00",)"
    R"("end_time":"2026-12-07T16:00:00","location":"301","reminder_minutes":15}]})";

class ExtractCommandTest : public ::testing::Test {
protected:
    zorbel::test::TempXdg xdg;
    zorbel::test::ChatCompletionsServer server;
    std::shared_ptr<zorbel::Preferences> prefs = zorbel::Preferences::standard();

    void SetUp() override {
        // A provider on this machine's loopback, configured as a cloud endpoint would be.
        prefs->setValue(u"llm.preset"_s, u"custom"_s);
        prefs->setValue(u"llm.baseURL"_s, server.url());
        prefs->setValue(u"llm.model"_s, u"test-model"_s);
        prefs->sync();
        server.answerContent(QString::fromUtf8(kOneEvent));
    }

    /// The record of the user's agreement to send `kind` to this test's server.
    QString consent(zorbel::CaptureKind kind) const {
        return zorbel::CloudTransmissionGate::consentKey(u"custom"_s, kind,
                                                         zorbel::originOf(QUrl(server.url())));
    }

    /// Records the user's agreement to send each of `kinds`.
    void agree(std::initializer_list<zorbel::CaptureKind> kinds) {
        for (const zorbel::CaptureKind kind : kinds) prefs->setValue(consent(kind), true);
        prefs->sync();
    }

    void reloadPreferences() {
        zorbel::Preferences::setStandard(nullptr);
        prefs = zorbel::Preferences::standard();
    }
};

}  // namespace

// Without a terminal to ask on, nothing is sent (the consent given with --allow-cloud is
// remembered: see the recording).
TEST_F(ExtractCommandTest, SendsNothingWithoutConsent) {
    const Outcome refused = runExtract({u"-"_s}, "明天下午3点开会");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(u"已取消云端处理"_s)) << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ExtractCommandTest, ReadsStandardInputAndFilesAndRefusesWhatItCannotHoldOrWrite) {
    agree({zorbel::CaptureKind::paste, zorbel::CaptureKind::file});
    const Outcome piped = runExtract({u"-"_s}, "周一 9:00 standup");
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_TRUE(server.requests().last().body.contains("standup"));

    QTemporaryDir dir;
    const QString notes = dir.filePath(u"会议 通知.txt"_s);
    zorbel::test::writeFile(notes, "周三 14:00 评审会");
    EXPECT_EQ(runExtract({notes}).exitCode, 0);
    EXPECT_TRUE(server.requests().last().body.contains("评审会"));

    const Outcome full = runExtract({u"--ics"_s, u"--text"_s, u"评审"_s}, {}, u"/dev/full"_s);
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_TRUE(full.err.contains(u"无法写出结果"_s)) << full.err.toStdString();

    const qsizetype requests = server.requests().size();
    const Outcome huge = runExtract({u"-"_s}, QByteArray(64 * 1024 * 1024 + 1, 'a'));
    EXPECT_EQ(huge.exitCode, 1);  // refused before anything is read for events
    EXPECT_TRUE(huge.err.contains(u"输入超过 64 MB"_s)) << huge.err.toStdString();
    EXPECT_EQ(server.requests().size(), requests);

    EXPECT_EQ(runExtract({}).exitCode, 1);
    EXPECT_EQ(runExtract({u"--text"_s, u"a"_s, notes}).exitCode, 1);
}

// Outside a Chinese locale the help and the messages are English.
TEST_F(ExtractCommandTest, SpeaksEnglishOutsideAChineseLocale) {
    const auto run = [](const QString& lang, const QStringList& arguments) {
        const Outcome outcome = runExtract(arguments, {}, {}, false, lang);
        return QString::fromUtf8(outcome.out) + outcome.err;
    };
    const QString chinese = run(u"zh_CN.UTF-8"_s, {u"--help"_s});
    EXPECT_TRUE(chinese.contains(u"撤销上次写入"_s)) << chinese.toStdString();
    const QString english = run(u"C.UTF-8"_s, {u"--help"_s});
    EXPECT_TRUE(english.contains(u"Take back the last write"_s)) << english.toStdString();
    EXPECT_FALSE(english.contains(u"撤销"_s)) << english.toStdString();
    const QString refused = run(u"C.UTF-8"_s, {u"--preset"_s, u"nosuch"_s, u"-"_s});
    EXPECT_TRUE(refused.contains(u"unknown provider: nosuch"_s)) << refused.toStdString();
}

// A scan tells its pages on a terminal, and only there.
TEST_F(ExtractCommandTest, AScanTellsItsPagesOnATerminal) {
    QTemporaryDir dir;
    const QString scan = dir.filePath(u"scan.pdf"_s);
    zorbel::test::FileFixtures::writePdf(
        scan, {{{u"周五 10:00 项目评审"_s}, true}, {{u"周六 9:00 团队建设活动"_s}, true}});
    const QStringList arguments{u"--preset"_s, u"builtin"_s, u"--now"_s,
                                u"2026-12-07T10:00:00+08:00"_s, scan};
    const Outcome piped = runExtract(arguments);
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_FALSE(piped.err.contains(u"正在识别"_s)) << piped.err.toStdString();

    // `script` gives the program a terminal of its own and copies what it writes there.
    QProcess terminal;
    terminal.setProcessEnvironment(extractEnvironment(false));
    terminal.start(u"script"_s,
                   {u"-qec"_s, QStringLiteral(ZORBEL_EXTRACT_PATH " ") + arguments.join(u' '),
                    u"/dev/null"_s});
    ASSERT_TRUE(terminal.waitForFinished(60000));
    const QString shown = QString::fromUtf8(terminal.readAllStandardOutput());
    EXPECT_EQ(terminal.exitCode(), 0) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u"正在识别第 1/2 页"_s)) << shown.toStdString();
    EXPECT_EQ(shown.count(u"正在识别第 2/2 页"_s), 1) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u"团队建设活动"_s)) << shown.toStdString();
}

// Valid events are written once; a move is added as new unless changes are applied, and the
// last write can be taken back.
TEST_F(ExtractCommandTest, WritesValidEventsOnceAppliesMovesWhenAskedAndTakesTheWriteBack) {
    agree({zorbel::CaptureKind::paste});
    const QDir calendar(xdg.dataHome() + u"/zorbel/calendars/Zorbel"_s);
    server.answerContent(QString::fromUtf8(kOneEvent).replace(u"16:00:00"_s, u"14:00:00"_s));
    const Outcome backwards = runExtract({u"--write"_s, u"--text"_s, u"评审"_s});
    EXPECT_EQ(backwards.exitCode, 2);
    EXPECT_TRUE(backwards.err.contains(u"结束时间必须晚于开始时间"_s))
        << backwards.err.toStdString();
    EXPECT_FALSE(calendar.exists());

    server.answerContent(QString::fromUtf8(kOneEvent));
    const QStringList write{u"--write"_s, u"--text"_s, u"明天下午3点评审"_s};
    const Outcome written = runExtract(write);
    ASSERT_EQ(written.exitCode, 0) << written.err.toStdString();
    const QJsonDocument receipt = QJsonDocument::fromJson(written.out);
    const QJsonArray created = receipt[u"created"_s].toArray();
    ASSERT_EQ(created.size(), 1);
    EXPECT_TRUE(receipt[u"failures"_s].toArray().isEmpty());
    const QString original = calendar.filePath(created[0].toString() + u".ics"_s);
    const QByteArray before = zorbel::test::readFile(original);
    EXPECT_FALSE(before.isEmpty());

    // The same again: found in the calendar, not written a second time.
    const QJsonDocument again = QJsonDocument::fromJson(runExtract(write).out);
    EXPECT_TRUE(again[u"created"_s].toArray().isEmpty());
    EXPECT_EQ(again[u"calendarCheck"_s][u"events"_s][0][u"relation"_s], u"alreadyThere"_s);
    EXPECT_EQ(calendar.entryList({u"*.ics"_s}).size(), 1);

    // The model reads the move as the meeting at its new time.
    server.answerContent(QString::fromUtf8(kOneEvent)
                             .replace(u"07T15"_s, u"08T10"_s)
                             .replace(u"07T16"_s, u"08T11"_s));
    const QStringList move{u"--write"_s, u"--text"_s, u"项目评审改到后天上午10点"_s};
    const QJsonArray added = QJsonDocument::fromJson(runExtract(move).out)[u"created"_s].toArray();
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(calendar.entryList({u"*.ics"_s}).size(), 2);
    ASSERT_TRUE(QFile::remove(calendar.filePath(added[0].toString() + u".ics"_s)));

    const Outcome applied = runExtract(QStringList{u"--apply-changes"_s} + move);
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    const QJsonDocument changed = QJsonDocument::fromJson(applied.out);
    EXPECT_TRUE(changed[u"created"_s].toArray().isEmpty());
    EXPECT_EQ(changed[u"changes"_s][0][u"outcome"_s], u"moved"_s);
    EXPECT_EQ(calendar.entryList({u"*.ics"_s}).size(), 1);
    EXPECT_TRUE(zorbel::test::readFile(original).contains("SEQUENCE:1"));
    EXPECT_EQ(runExtract({u"--apply-changes"_s, u"--text"_s, u"x"_s}).exitCode, 1);

    const Outcome undone = runExtract({u"--undo"_s});
    ASSERT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(undone.out).object(),
              (QJsonObject{{u"undone"_s, 1}, {u"left"_s, QJsonArray()}}));
    EXPECT_EQ(zorbel::test::readFile(original), before);
    EXPECT_EQ(runExtract({u"--undo"_s}).exitCode, 2);
    EXPECT_EQ(runExtract({u"--undo"_s, u"--text"_s, u"x"_s}).exitCode, 1);
}

TEST_F(ExtractCommandTest, UnderstandsARecordingAsAFinishedVoiceCapture) {
    // Spoken by espeak-ng, heard by the on-device recogniser (no endpoint is configured), then
    // sent to the model with the voice consent given on the command line.
    QTemporaryDir dir;
    const QString spoken = dir.filePath(u"spoken.wav"_s);
    const QString wav = dir.filePath(u"memo.wav"_s);
    ASSERT_EQ(QProcess::execute(u"espeak-ng"_s, {u"-v"_s, u"en-us+f2"_s, u"-s"_s, u"110"_s, u"-w"_s,
                                                 spoken, u"meeting tomorrow at three pm"_s}),
              0);
    ASSERT_EQ(QProcess::execute(u"sox"_s, {u"-D"_s, spoken, u"-r"_s, u"16000"_s, u"-c"_s, u"1"_s,
                                           u"-b"_s, u"16"_s, wav}),
              0);
    const Outcome outcome = runExtract({u"--allow-cloud"_s, u"--voice"_s, wav});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests()[0].body.contains("tomorrow"));
    EXPECT_TRUE(QFile::exists(wav));  // a recording given to the tool is the user's: kept
    reloadPreferences();
    EXPECT_TRUE(prefs->boolean(consent(zorbel::CaptureKind::voice)));
}

// Texts read by the built-in rules at a fixed instant, so that neither a model nor the clock
// is involved: each gives its expected JSON and iCalendar output byte for byte (UIDs and time
// stamps made stable; a failed run gives its exit status and message after the output). The
// rules need no model, no consent and no socket, and leave the settings as they were.
TEST_F(ExtractCommandTest, TheBuiltInRulesGiveTheExpectedJsonAndICalendar) {
    for (const auto& output :
         {std::pair(u".json"_s, QStringList()), std::pair(u".ics"_s, QStringList{u"--ics"_s})}) {
        const QStringList format = output.second;
        const zorbel::test::GoldenFolder cases{
            QStringLiteral(ZORBEL_EXTRACT_CASES_DIR), {u"*.txt"_s}, output.first, 8};
        cases.check([&](const QString& path) {
            const Outcome outcome = runExtract(
                format + QStringList{u"--preset"_s, u"builtin"_s, u"--now"_s,
                                     u"2026-12-07T10:00:00+08:00"_s, u"--text"_s,
                                     QString::fromUtf8(zorbel::test::readFile(path)).trimmed()});
            QByteArray printed = zorbel::test::stableCalendarText(outcome.out);
            if (outcome.exitCode != 0) {
                printed +=
                    "exit " + QByteArray::number(outcome.exitCode) + '\n' + outcome.err.toUtf8();
            }
            return printed;
        });
    }
    EXPECT_TRUE(server.requests().isEmpty());
    reloadPreferences();
    EXPECT_EQ(prefs->string(u"llm.preset"_s), u"custom"_s);
    EXPECT_FALSE(prefs->contains(consent(zorbel::CaptureKind::paste)));

    // --explain tells what the rules left out, beside the usual output.
    const Outcome explained = runExtract(
        {u"--preset"_s, u"builtin"_s, u"--explain"_s, u"--now"_s, u"2026-12-07T10:00:00+08:00"_s,
         u"--text"_s, u"发布时间：2026-12-01 10:00\n周四或周五开会\n12月9日下午3点评审"_s});
    EXPECT_EQ(explained.exitCode, 0);
    EXPECT_TRUE(explained.err.contains(u"left out (stamp): 发布时间：2026-12-01"_s))
        << explained.err.toStdString();
    EXPECT_TRUE(explained.err.contains(u"left out (choices): 周四或周五开会"_s));
    EXPECT_EQ(QJsonDocument::fromJson(explained.out).object().value(u"events"_s).toArray().size(),
              1);
    EXPECT_EQ(runExtract({u"--explain"_s, u"--voice"_s, u"a.wav"_s}).exitCode, 1);

    EXPECT_EQ(runExtract({u"--preset"_s, u"nope"_s, u"--text"_s, u"x"_s}).exitCode, 1);
    EXPECT_EQ(runExtract({u"--now"_s, u"tomorrow"_s, u"--text"_s, u"x"_s}).exitCode, 1);
}

// The CalDAV password comes from a real keyring on a private session bus (the only D-Bus use in
// this program, whose connections last the process), for a server that lets in only that
// password; the model call before the write goes out with no key stored.
TEST_F(ExtractCommandTest, WritesToCalDavWithThePasswordFromTheKeyring) {
    if (!zorbel::test::RadicaleServer::isInstalled()) GTEST_SKIP() << "radicale is not installed";
    const zorbel::test::SecretStoreSession keyring;
    zorbel::test::RadicaleServer calendar;
    ASSERT_TRUE(calendar.requirePassword(u"alice"_s));
    ASSERT_TRUE(calendar.start());
    ASSERT_TRUE(calendar.makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, {}));
    zorbel::KeychainCredentialStore store;
    zorbel::test::await(store.setCredential(QLatin1String(calendar.kPassword), u"caldav"_s));
    prefs->setValue(u"calendar.store"_s, u"caldav"_s);
    prefs->setValue(u"calendar.caldav.url"_s, calendar.url().toString());
    prefs->setValue(u"calendar.caldav.user"_s, u"alice"_s);
    prefs->sync();

    const QStringList write{u"--allow-cloud"_s, u"--write"_s, u"--text"_s, u"明天下午3点评审"_s};
    const Outcome written = runExtract(write, {}, {}, true);
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(written.out)[u"created"_s].toArray().size(), 1)
        << written.out.toStdString();
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_FALSE(server.requests()[0].hasHeader("Authorization"));

    // A wrong password in the store: the server refuses it and the command fails.
    zorbel::test::await(store.setCredential(u"not the password"_s, u"caldav"_s));
    EXPECT_NE(runExtract(write, {}, {}, true).exitCode, 0);
}

// Each instant with the offset in force at it, not the one in force now; a repeat's interval
// and end as they are.
TEST(EventJson, WritesInstantsWithTheirOwnOffsetAndTheEndOfARepeat) {
    const zorbel::test::ProcessZone zone("America/New_York");
    zorbel::ExtractedEvent until;
    until.startDate = QDateTime(QDate(2026, 7, 10), QTime(13, 0), Qt::UTC);
    until.endDate = QDateTime(QDate(2026, 12, 10), QTime(14, 0), Qt::UTC);
    until.recurrenceInterval = 2;
    until.recurrenceEnd = zorbel::RecurrenceEnd::onDay(QDate(2027, 1, 31));
    zorbel::ExtractedEvent counted = until;
    counted.recurrenceEnd = zorbel::RecurrenceEnd::after(5);
    const QJsonArray events = zorbel::eventsJson({until, counted})[u"events"_s].toArray();
    const auto fields = [&](int i, const QStringList& names) {
        QJsonArray values;
        for (const QString& name : names) values.append(events[i].toObject()[name]);
        return values;
    };
    EXPECT_EQ(fields(0, {u"start"_s, u"end"_s}),
              (QJsonArray{u"2026-07-10T09:00:00-04:00"_s, u"2026-12-10T09:00:00-05:00"_s}));
    const QStringList repeat{u"recurrenceInterval"_s, u"recurrenceUntil"_s, u"recurrenceCount"_s};
    EXPECT_EQ(fields(0, repeat), (QJsonArray{2, u"2027-01-31"_s, QJsonValue::Null}));
    EXPECT_EQ(fields(1, repeat), (QJsonArray{2, QJsonValue::Null, 5}));
}
