#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "core/CloudTransmissionDeclinedError.h"
#include "input/PocketSphinxRecognizer.h"
#include "input/SystemAudioInput.h"
#include "input/TranscriptionEndpointRecognizer.h"
#include "support/Preferences.h"
#include "testkit/LogCapture.h"
#include "testkit/SpeechTestDoubles.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using test::await;
using namespace Qt::Literals::StringLiterals;
using Kind = SpeechService::ServiceError::Kind;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

/// The service error `run` throws, or nothing.
template <typename Run>
std::optional<Kind> serviceErrorOf(Run run) {
    try {
        run();
    } catch (const SpeechService::ServiceError& error) {
        return error.kind();
    }
    return std::nullopt;
}

class SpeechServiceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::shared_ptr<test::ScriptedRecognizer> recognizer =
        std::make_shared<test::ScriptedRecognizer>();
    std::shared_ptr<test::FakeAudioInput> input = std::make_shared<test::FakeAudioInput>();
    std::shared_ptr<test::ScriptedGate> gate = std::make_shared<test::ScriptedGate>();

    QString recordings() const { return dir.filePath(QStringLiteral("recordings")); }
    QString lastFailure() const { return dir.filePath(QStringLiteral("zorbel-last-fail.wav")); }
    QStringList recordingFiles() const { return QDir(recordings()).entryList(QDir::Files); }

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(recordings())); }

    std::unique_ptr<SpeechService> service(
        std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return std::make_unique<SpeechService>(
            recognizer, input, gate, SpeechServiceOptions{timeout, recordings(), lastFailure()});
    }

    /// Records `pcm` and returns the transcript, or rethrows.
    QString record(SpeechService& speech, const QByteArray& pcm) {
        speech.start();
        input->feed(pcm);
        return await(speech.stopAndTranscribe(CancellationToken()));
    }

    std::optional<Kind> failedRecording(SpeechService& speech, const QByteArray& pcm) {
        return serviceErrorOf([&] { record(speech, pcm); });
    }
};

const QByteArray kSpeech = QByteArray("\x01\x02\x03\x04\x05\x06", 6);
const QByteArray kOtherSpeech = QByteArray("\x07\x08\x09\x0a", 4);

}  // namespace

TEST_F(SpeechServiceTest, TranscriptIsTrimmedAndTheRecordingDeleted) {
    recognizer->text = QStringLiteral(" 明天三点开会\n");
    auto speech = service();
    speech->start();
    ASSERT_EQ(recordingFiles().size(), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^zorbel-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                          "[0-9A-F]{12}\\.wav$"))
            .match(recordingFiles().first())
            .hasMatch())
        << recordingFiles().first().toStdString();
    input->feed(kSpeech);
    input->feed(kOtherSpeech);
    EXPECT_EQ(await(speech->stopAndTranscribe(CancellationToken())),
              QStringLiteral("明天三点开会"));
    EXPECT_EQ(recognizer->heardSamples, kSpeech + kOtherSpeech);
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(lastFailure()));
    EXPECT_FALSE(speech->isRecording());
}

TEST_F(SpeechServiceTest, StopWithoutStartIsNotRecordingAndTouchesNoFile) {
    auto speech = service();
    EXPECT_EQ(serviceErrorOf([&] { await(speech->stopAndTranscribe(CancellationToken())); }),
              Kind::notRecording);
    speech->cancel();
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(lastFailure()));
    EXPECT_EQ(recognizer->calls, 0);
}

TEST_F(SpeechServiceTest, EmptyResultKeepsTheRecordingAsTheLastFailureReplacingThePrevious) {
    test::LogCapture log;
    recognizer->text = QStringLiteral(" \n");
    auto speech = service();
    EXPECT_EQ(failedRecording(*speech, kSpeech), Kind::emptyTranscription);
    EXPECT_EQ(WavFile::readSamples(lastFailure()), kSpeech);
    EXPECT_EQ(failedRecording(*speech, kOtherSpeech), Kind::emptyTranscription);
    EXPECT_EQ(WavFile::readSamples(lastFailure()), kOtherSpeech);
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_TRUE(log.failureCodes().isEmpty());  // an empty result is not a recogniser error
}

TEST_F(SpeechServiceTest, RecognizerErrorIsLoggedAndEndsEmpty) {
    test::LogCapture log;
    recognizer->behaviour = test::ScriptedRecognizer::Behaviour::fail;
    auto speech = service();
    EXPECT_EQ(failedRecording(*speech, kSpeech), Kind::emptyTranscription);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("transcription")});
    EXPECT_EQ(WavFile::readSamples(lastFailure()), kSpeech);
}

TEST_F(SpeechServiceTest, RecognizerThatNeverAnswersTimesOutAndIsCancelled) {
    recognizer->behaviour = test::ScriptedRecognizer::Behaviour::never;
    auto speech = service(std::chrono::milliseconds(50));
    EXPECT_EQ(failedRecording(*speech, kSpeech), Kind::emptyTranscription);
    EXPECT_EQ(WavFile::readSamples(lastFailure()), kSpeech);
    EXPECT_TRUE(test::spinUntil([&] { return recognizer->stoppedByCancel; }));
}

TEST_F(SpeechServiceTest, CancelDuringTranscriptionAbandonsItAndDeletesTheRecording) {
    recognizer->behaviour = test::ScriptedRecognizer::Behaviour::never;
    auto speech = service();
    speech->start();
    std::optional<QString> text;
    bool cancelled = false;
    auto finish = [](SpeechService& s, std::optional<QString>& out,
                     bool& wasCancelled) -> QCoro::Task<void> {
        try {
            out = co_await s.stopAndTranscribe(CancellationToken());
        } catch (const CancelledError&) {
            wasCancelled = true;
        }
    }(*speech, text, cancelled);
    ASSERT_TRUE(test::spinUntil([&] { return recognizer->calls == 1; }));
    speech->cancel();
    ASSERT_TRUE(test::spinUntil([&] { return cancelled; }));
    EXPECT_FALSE(text);
    EXPECT_TRUE(test::spinUntil([&] { return recognizer->stoppedByCancel; }));
    EXPECT_TRUE(test::spinUntil([&] { return recordingFiles().isEmpty(); }));
    EXPECT_FALSE(QFileInfo::exists(lastFailure()));
}

TEST_F(SpeechServiceTest, CancelDuringRecordingDeletesItsFile) {
    auto speech = service();
    speech->start();
    input->feed(kSpeech);
    speech->cancel();
    EXPECT_FALSE(speech->isRecording());
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_FALSE(input->sink);
}

TEST_F(SpeechServiceTest, StartFailuresLeaveItIdleAndALaterStartWorks) {
    recognizer->available = false;
    auto speech = service();
    EXPECT_EQ(serviceErrorOf([&] { speech->start(); }), Kind::recognizerUnavailable);
    EXPECT_EQ(input->starts, 0);

    recognizer->available = true;
    input->failingStarts = 1;
    EXPECT_EQ(serviceErrorOf([&] { speech->start(); }), Kind::inputUnavailable);
    EXPECT_FALSE(speech->isRecording());
    EXPECT_TRUE(recordingFiles().isEmpty());

    recognizer->text = QStringLiteral("ok");
    EXPECT_EQ(record(*speech, kSpeech), QStringLiteral("ok"));

    SpeechService withoutRecognizer(nullptr, input, gate);
    EXPECT_EQ(serviceErrorOf([&] { withoutRecognizer.start(); }), Kind::recognizerUnavailable);
}

TEST_F(SpeechServiceTest, StartWhileRecordingNeverOpensASecondCapture) {
    recognizer->text = QStringLiteral("ok");
    auto speech = service();
    speech->start();
    input->feed(kSpeech);
    speech->start();
    input->feed(kOtherSpeech);
    EXPECT_EQ(input->starts, 1);
    EXPECT_EQ(recordingFiles().size(), 1);
    EXPECT_EQ(await(speech->stopAndTranscribe(CancellationToken())), QStringLiteral("ok"));
    EXPECT_EQ(recognizer->heardSamples, kSpeech + kOtherSpeech);
}

TEST_F(SpeechServiceTest, CloudRecognizerNeedsVoiceConsentBeforeTheUpload) {
    recognizer->local = false;
    recognizer->text = QStringLiteral("ok");
    auto speech = service();
    speech->start();
    EXPECT_THROW(await(speech->stopAndTranscribe(CancellationToken())),
                 CloudTransmissionDeclinedError);
    EXPECT_EQ(recognizer->calls, 0);
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(lastFailure()));
    ASSERT_EQ(gate->asked.size(), 1u);
    EXPECT_EQ(gate->asked[0].first, QStringLiteral("speech"));
    EXPECT_EQ(gate->asked[0].second, CaptureKind::voice);

    gate->allow = true;
    EXPECT_EQ(record(*speech, kSpeech), QStringLiteral("ok"));

    recognizer->local = true;
    EXPECT_EQ(record(*speech, kSpeech), QStringLiteral("ok"));
    EXPECT_EQ(gate->asked.size(), 2u);  // a local recogniser never asks
}

TEST_F(SpeechServiceTest, PlantedLinkAtTheLastFailureNameIsReplacedNotFollowed) {
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    writeFile(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, lastFailure()));
    recognizer->text = QString();
    auto speech = service();
    EXPECT_EQ(failedRecording(*speech, kSpeech), Kind::emptyTranscription);
    EXPECT_EQ(readFile(victim), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(lastFailure()).isSymLink());
    EXPECT_EQ(WavFile::readSamples(lastFailure()), kSpeech);
}

TEST_F(SpeechServiceTest, ARecordingIsNeverWrittenThroughAnExistingName) {
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    writeFile(victim, "precious");
    const QString link = dir.filePath(QStringLiteral("zorbel-planted.wav"));
    ASSERT_TRUE(QFile::link(victim, link));
    EXPECT_THROW(WavFile{link}, WavFileError);
    EXPECT_THROW(WavFile{victim}, WavFileError);
    EXPECT_EQ(readFile(victim), QByteArray("precious"));
}

TEST_F(SpeechServiceTest, LastFailureNameThatCannotBeReplacedIsLoggedAndIgnored) {
    test::LogCapture log;
    ASSERT_TRUE(QDir().mkpath(lastFailure() + QStringLiteral("/occupied")));
    recognizer->text = QString();
    auto speech = service();
    EXPECT_EQ(failedRecording(*speech, kSpeech), Kind::emptyTranscription);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("lastFailureFile")});
    EXPECT_TRUE(QFileInfo(lastFailure()).isDir());
    EXPECT_TRUE(recordingFiles().isEmpty());
}

TEST_F(SpeechServiceTest, LastFailureFromAnotherFileSystemGoesThroughAFileBesideIt) {
    QTemporaryDir memory(QStringLiteral("/dev/shm/zorbel-speech-XXXXXX"));
    if (!memory.isValid()) GTEST_SKIP() << "no /dev/shm here";
    const QString recording = memory.filePath(QStringLiteral("zorbel-rec.wav"));
    writeFile(recording, "RIFF-ish");
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    writeFile(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, lastFailure()));
    SpeechService::keepAsLastFailure(recording, lastFailure());
    EXPECT_EQ(readFile(victim), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(lastFailure()).isSymLink());
    EXPECT_EQ(readFile(lastFailure()), QByteArray("RIFF-ish"));
    EXPECT_FALSE(QFileInfo::exists(recording));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2);  // no leftovers
}

TEST_F(SpeechServiceTest, ByDefaultRecordingsAndTheLastFailureAreTheUsersOnly) {
    test::TempXdg xdg;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString folder = xdg.root() + u"/cache/zorbel"_s;
    const auto mode = [](const QString& path) {
        struct stat info {};
        return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
    };
    SpeechService speech(recognizer, input, gate, SpeechServiceOptions{});
    speech.start();
    const QStringList made = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(mode(folder + u'/' + made.first()), 0600u);
    input->feed(kSpeech);
    EXPECT_EQ(serviceErrorOf([&] { await(speech.stopAndTranscribe(CancellationToken())); }),
              Kind::emptyTranscription);
    EXPECT_EQ(mode(folder), 0700u);
    EXPECT_EQ(mode(folder + u"/last-fail.wav"_s), 0600u);
    EXPECT_EQ(WavFile::readSamples(folder + u"/last-fail.wav"_s), kSpeech);
    if (!runtime.isEmpty()) qputenv("XDG_RUNTIME_DIR", runtime);
}

TEST(SpeechRecognizerChoice, LanguageOrderOverAvailableRecognizers) {
    const auto recognizerFor = [](QStringList available) -> RecognizerFactory {
        return [available](const QString& locale) -> std::shared_ptr<SpeechRecognizer> {
            auto recognizer = std::make_shared<test::ScriptedRecognizer>();
            recognizer->text = locale;
            recognizer->available = available.contains(locale);
            return locale == u"de-DE" ? nullptr : recognizer;
        };
    };
    const auto picked = [](const std::shared_ptr<SpeechRecognizer>& recognizer) {
        return recognizer ? static_cast<test::ScriptedRecognizer&>(*recognizer).text : QString();
    };
    const QStringList french{QStringLiteral("fr-FR")};
    EXPECT_EQ(
        picked(SpeechService::pickRecognizer(french, recognizerFor({u"fr-FR"_s, u"en-US"_s}))),
        QStringLiteral("fr-FR"));
    EXPECT_EQ(picked(SpeechService::pickRecognizer(french, recognizerFor({u"en-US"_s}))),
              QStringLiteral("en-US"));
    EXPECT_EQ(picked(SpeechService::pickRecognizer(
                  french, recognizerFor({u"zh-CN"_s, u"fr-FR"_s, u"en-US"_s}))),
              QStringLiteral("zh-CN"));
    EXPECT_EQ(picked(SpeechService::pickRecognizer({u"de-DE"_s}, recognizerFor({}))), QString());
}

TEST(SpeechRecognizerChoice, SystemRecognizersPreferTheConfiguredEndpoint) {
    test::TempXdg xdg;
    auto preferences = Preferences::standard();
    auto credentials = std::make_shared<test::MemoryCredentialStore>();
    const auto make = SpeechService::systemRecognizers(preferences, credentials);
    const QStringList french{QStringLiteral("fr-FR")};

    const auto onDevice = SpeechService::pickRecognizer(french, make);
    if (PocketSphinxRecognizer().isAvailable()) {
        ASSERT_TRUE(dynamic_cast<PocketSphinxRecognizer*>(onDevice.get()));
    } else {
        EXPECT_FALSE(onDevice);
    }
    EXPECT_FALSE(make(QStringLiteral("fr-FR")));

    preferences->setValue(QStringLiteral("speech.baseURL"),
                          QStringLiteral("http://127.0.0.1:9/v1"));
    preferences->setValue(QStringLiteral("speech.model"), QStringLiteral("whisper-1"));
    const auto endpoint = SpeechService::pickRecognizer(french, make);
    ASSERT_TRUE(dynamic_cast<TranscriptionEndpointRecognizer*>(endpoint.get()));
    EXPECT_TRUE(endpoint->isLocal());
}

TEST(SystemAudioInput, NoInputDeviceMeansInputUnavailable) {
    if (!QMediaDevices::defaultAudioInput().isNull()) GTEST_SKIP() << "this machine has an input";
    QTemporaryDir dir;
    SpeechService speech(std::make_shared<test::ScriptedRecognizer>(),
                         std::make_shared<SystemAudioInput>(), nullptr,
                         SpeechServiceOptions{SpeechServiceOptions::kRecognitionTimeout, dir.path(),
                                              dir.filePath(QStringLiteral("last.wav"))});
    EXPECT_EQ(serviceErrorOf([&] { speech.start(); }), Kind::inputUnavailable);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}
