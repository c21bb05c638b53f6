// The speech service against a substitute microphone, scripted recognisers and the capture
// tests' consent gate; the transcription endpoint against a loopback server; and real
// PocketSphinx on silence.

#include <gtest/gtest.h>
#include <QAudioDevice>
#include <QDir>
#include <QMap>
#include <QMediaDevices>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "core/CloudTransmissionDeclinedError.h"
#include "input/AudioInput.h"
#include "input/SpeechModule.h"
#include "input/SpeechService.h"
#include "input/TranscriptionEndpointRecognizer.h"
#include "input/WavFile.h"
#include "support/Errors.h"
#include "support/Preferences.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/FakeCaptureServices.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using test::await;
using test::readFile;
using test::writeFile;
using Kind = SpeechService::ServiceError::Kind;

namespace {

/// A microphone whose samples the test delivers with `feed`; can fail to start.
class FakeAudioInput final : public AudioInput {
public:
    int starts = 0;
    bool failsToStart = false;  ///< the next start throws `inputUnavailable`
    Sink sink;

    void start(Sink s) override {
        ++starts;
        if (std::exchange(failsToStart, false)) {
            throw SpeechService::ServiceError(SpeechService::ServiceError::inputUnavailable);
        }
        sink = std::move(s);
    }
    void stop() override { sink = nullptr; }
    void feed(const QByteArray& pcm) const {
        if (sink) sink(pcm);
    }
};

/// A recogniser that answers as scripted and keeps the samples of the last recording given.
class ScriptedRecognizer final : public SpeechRecognizer {
public:
    bool available = true;
    bool local = true;
    test::ScriptedCall<QString> reply{QString()};
    QByteArray heardSamples;

    bool isAvailable() const override { return available; }
    bool isLocal() const override { return local; }
    QCoro::Task<QString> recognize(QString wavPath, CancellationToken token) override {
        heardSamples = WavFile::readSamples(wavPath);
        return reply.call(token);
    }
};

/// The kind of service error `run` throws, or nothing.
template <typename Run>
std::optional<Kind> serviceErrorOf(Run run) {
    const auto error = test::thrown<SpeechService::ServiceError>(run);
    return error ? std::optional(error->kind()) : std::nullopt;
}

const QByteArray kSpeech = QByteArray("\x01\x02\x03\x04\x05\x06", 6);
const QByteArray kOtherSpeech = QByteArray("\x07\x08\x09\x0a", 4);

class SpeechServiceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::shared_ptr<ScriptedRecognizer> recognizer = std::make_shared<ScriptedRecognizer>();
    std::shared_ptr<FakeAudioInput> input = std::make_shared<FakeAudioInput>();
    std::shared_ptr<test::FakeConsentGate> gate = std::make_shared<test::FakeConsentGate>();
    const QString recordings = dir.filePath(u"recordings"_s);
    const QString lastFailure = dir.filePath(u"zorbel-last-fail.wav"_s);
    const QString victim = dir.filePath(u"victim.txt"_s);

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(recordings));
        writeFile(victim, "precious");
    }
    // A held recognition is let go, so that no suspended coroutine outlives the test.
    void TearDown() override {
        while (recognizer->reply.waiting() > 0) recognizer->reply.release();
        EXPECT_TRUE(test::spinUntil([&] { return recognizer->reply.settled(); }));
    }
    QStringList recordingFiles() const { return QDir(recordings).entryList(QDir::Files); }
    std::unique_ptr<SpeechService> service(
        std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return std::make_unique<SpeechService>(
            recognizer, input, gate, SpeechServiceOptions{timeout, recordings, lastFailure});
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

class SpeechEndpointTest : public ::testing::Test {
protected:
    test::TempXdg xdg;
    QTemporaryDir dir;
    test::ChatCompletionsServer server;
    std::shared_ptr<Preferences> preferences = Preferences::standard();
    std::shared_ptr<test::MemoryCredentialStore> credentials =
        std::make_shared<test::MemoryCredentialStore>();
    std::shared_ptr<TranscriptionEndpointRecognizer> recognizer =
        std::make_shared<TranscriptionEndpointRecognizer>(preferences, credentials);
    const QByteArray samples = QByteArray(3200, '\x11');
    QString wav;

    void SetUp() override {
        server.answerBody(R"({"text":" hello there \n"})");
        configure(server.url(u"/v1/"_s), u" whisper-small\t"_s);
        wav = dir.filePath(u"zorbel-TEST.wav"_s);
        WavFile(wav).append(samples);
    }
    void configure(const QString& baseURL, const QString& model) {
        preferences->setValue(u"speech.baseURL"_s, baseURL);
        preferences->setValue(u"speech.model"_s, model);
    }
    SpeechService service(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return SpeechService(
            recognizer, nullptr, nullptr,
            SpeechServiceOptions{timeout, dir.path(), dir.filePath(u"last.wav"_s)});
    }
    QString recognized() { return await(recognizer->recognize(wav, CancellationToken())); }
};

}  // namespace

TEST_F(SpeechServiceTest, TranscriptIsTrimmedAndTheRecordingDeleted) {
    recognizer->reply.answer(u" 明天三点开会\n"_s);
    auto speech = service();
    speech->start();
    ASSERT_EQ(recordingFiles().size(), 1);
    input->feed(kSpeech);
    speech->start();  // while recording: the input is not opened twice
    input->feed(kOtherSpeech);
    EXPECT_EQ(input->starts, 1);
    EXPECT_EQ(await(speech->stopAndTranscribe(CancellationToken())), u"明天三点开会"_s);
    EXPECT_EQ(recognizer->heardSamples, kSpeech + kOtherSpeech);
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(lastFailure));
    EXPECT_FALSE(speech->isRecording());
}

// Each failure keeps its recording as the last failure, replacing the one before.
TEST_F(SpeechServiceTest, AFailedRecognitionKeepsTheRecordingAsTheLastFailure) {
    // An empty text, a failure, no answer in time, an empty text again.
    using Reply = test::ScriptedCall<QString>;
    const std::pair<std::function<void(Reply&)>, QStringList> cases[] = {
        {[](Reply& reply) { reply.answer(u" \n"_s); }, {}},
        {[](Reply& reply) { reply.fail(RecognitionError("scripted")); }, {u"transcription"_s}},
        {[](Reply& reply) { reply.hold(); }, {}},
        {[](Reply& reply) { reply.hold(false), reply.answer(u"\n"_s); }, {}}};
    // The planted link at the last failure's name is replaced, not followed.
    ASSERT_TRUE(QFile::link(victim, lastFailure));
    auto speech = service(std::chrono::milliseconds(50));
    bool other = false;
    for (const auto& [script, codes] : cases) {
        SCOPED_TRACE(recognizer->reply.calls());
        test::LogCapture log;
        script(recognizer->reply);
        const QByteArray& samples = (other = !other) ? kSpeech : kOtherSpeech;
        EXPECT_EQ(failedRecording(*speech, samples), Kind::emptyTranscription);
        EXPECT_EQ(WavFile::readSamples(lastFailure), samples);
        EXPECT_FALSE(QFileInfo(lastFailure).isSymLink());
        EXPECT_TRUE(recordingFiles().isEmpty());
        EXPECT_EQ(log.failureCodes(), codes);
    }
    EXPECT_TRUE(recognizer->reply.tokens().at(2).isCancelled());  // the late one was told
    EXPECT_EQ(readFile(victim), "precious");
}

TEST_F(SpeechServiceTest, CancelAbandonsTheRecordingOrItsTranscription) {
    auto speech = service();
    EXPECT_EQ(serviceErrorOf([&] { await(speech->stopAndTranscribe(CancellationToken())); }),
              Kind::notRecording);
    speech->start();
    input->feed(kSpeech);
    speech->cancel();
    EXPECT_FALSE(speech->isRecording());
    EXPECT_FALSE(input->sink);
    EXPECT_TRUE(recordingFiles().isEmpty());

    recognizer->reply.hold();
    speech->start();
    test::Running transcribing(speech->stopAndTranscribe(CancellationToken()));
    ASSERT_TRUE(test::spinUntil([&] { return recognizer->reply.waiting() == 1; }));
    speech->cancel();
    EXPECT_TRUE(transcribing.endsWith<CancelledError>());
    EXPECT_TRUE(recognizer->reply.tokens().first().isCancelled());
    EXPECT_TRUE(test::spinUntil([&] { return recordingFiles().isEmpty(); }));
    EXPECT_FALSE(QFileInfo::exists(lastFailure));
}

TEST_F(SpeechServiceTest, StartFailuresLeaveItIdleAndALaterStartWorks) {
    recognizer->available = false;
    auto speech = service();
    EXPECT_EQ(serviceErrorOf([&] { speech->start(); }), Kind::recognizerUnavailable);
    EXPECT_EQ(input->starts, 0);
    SpeechService withoutRecognizer(nullptr, input, gate);
    EXPECT_EQ(serviceErrorOf([&] { withoutRecognizer.start(); }), Kind::recognizerUnavailable);
    recognizer->available = true;
    input->failsToStart = true;
    EXPECT_EQ(serviceErrorOf([&] { speech->start(); }), Kind::inputUnavailable);
    EXPECT_FALSE(speech->isRecording());
    EXPECT_TRUE(recordingFiles().isEmpty());
    recognizer->reply.answer(u"ok"_s);
    EXPECT_EQ(record(*speech, kSpeech), u"ok"_s);
}

TEST_F(SpeechServiceTest, CloudRecognizerNeedsVoiceConsentBeforeTheUpload) {
    recognizer->local = false;
    recognizer->reply.answer(u"ok"_s);
    gate->answer.answer(false);
    auto speech = service();
    speech->start();
    EXPECT_THROW(await(speech->stopAndTranscribe(CancellationToken())),
                 CloudTransmissionDeclinedError);
    EXPECT_EQ(recognizer->reply.calls(), 0);
    EXPECT_TRUE(recordingFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(lastFailure));
    EXPECT_EQ(gate->questions,
              (QList<QPair<QString, CaptureKind>>{{u"speech"_s, CaptureKind::voice}}));
    gate->answer.answer(true);
    EXPECT_EQ(record(*speech, kSpeech), u"ok"_s);
    recognizer->local = true;
    EXPECT_EQ(record(*speech, kSpeech), u"ok"_s);
    EXPECT_EQ(gate->questions.size(), 2);  // a local recogniser never asks
}

TEST_F(SpeechServiceTest, FilesAreNeverWrittenThroughAnExistingName) {
    const QString link = dir.filePath(u"zorbel-planted.wav"_s);
    ASSERT_TRUE(QFile::link(victim, link));
    EXPECT_THROW(WavFile{link}, WavFileError);
    EXPECT_THROW(WavFile{victim}, WavFileError);
    // A last failure's name that cannot be replaced is logged and left.
    {
        test::LogCapture log;
        const QString occupied = dir.filePath(u"occupied"_s);
        ASSERT_TRUE(QDir().mkpath(occupied + u"/inside"_s));
        SpeechService speech(recognizer, input, gate,
                             {std::chrono::seconds(5), recordings, occupied});
        EXPECT_EQ(failedRecording(speech, kSpeech), Kind::emptyTranscription);
        EXPECT_EQ(log.failureCodes(), QStringList{u"lastFailureFile"_s});
        EXPECT_TRUE(QFileInfo(occupied).isDir());
        EXPECT_TRUE(recordingFiles().isEmpty());
    }
    // Across file systems the last failure goes through a new file beside it.
    QTemporaryDir memory(u"/dev/shm/zorbel-speech-XXXXXX"_s);
    if (!memory.isValid()) GTEST_SKIP() << "no /dev/shm here";
    const QString recording = memory.filePath(u"zorbel-rec.wav"_s);
    writeFile(recording, "RIFF-ish");
    ASSERT_TRUE(QFile::link(victim, lastFailure));
    SpeechService::keepAsLastFailure(recording, lastFailure);
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_FALSE(QFileInfo(lastFailure).isSymLink());
    EXPECT_EQ(readFile(lastFailure), "RIFF-ish");
    EXPECT_FALSE(QFileInfo::exists(recording));
    // No leftovers: the victim, the link and the last failure.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 3);
}

TEST_F(SpeechServiceTest, ByDefaultRecordingsAndTheLastFailureAreTheUsersOnly) {
    test::TempXdg xdg;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString folder = xdg.root() + u"/cache/zorbel"_s;
    SpeechService speech(recognizer, input, gate, SpeechServiceOptions{});
    speech.start();
    const QStringList made = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(test::fileMode(folder + u'/' + made.first()), 0600u);
    input->feed(kSpeech);
    EXPECT_EQ(serviceErrorOf([&] { await(speech.stopAndTranscribe(CancellationToken())); }),
              Kind::emptyTranscription);
    EXPECT_EQ(test::fileMode(folder), 0700u);
    EXPECT_EQ(test::fileMode(folder + u"/last-fail.wav"_s), 0600u);
    EXPECT_EQ(WavFile::readSamples(folder + u"/last-fail.wav"_s), kSpeech);
    if (!runtime.isEmpty()) qputenv("XDG_RUNTIME_DIR", runtime);
}

TEST_F(SpeechEndpointTest, PostsTheRecordingAsMultipartWithTheKeyAndModel) {
    EXPECT_EQ(recognized(), u" hello there \n"_s);
    credentials->secrets.insert(u"speech"_s, u"sk-test"_s);
    EXPECT_EQ(await(service().transcribe(wav, CancellationToken())), u"hello there"_s);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_FALSE(server.requests().first().hasHeader("authorization"));
    const test::RecordedRequest request = server.requests().last();
    EXPECT_EQ(request.method + ' ' + request.path, "POST /v1/audio/transcriptions");
    EXPECT_EQ(request.header("authorization"), "Bearer sk-test");
    EXPECT_TRUE(request.header("content-type").startsWith("multipart/form-data; boundary="));
    EXPECT_TRUE(request.body.contains(
        "Content-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-small\r\n"));
    EXPECT_TRUE(request.body.contains("form-data; name=\"file\"; filename=\"zorbel-TEST.wav\""));
    EXPECT_TRUE(request.body.contains("Content-Type: audio/wav"));
    EXPECT_TRUE(request.body.contains(WavFile::header(samples.size()) + samples));
    EXPECT_TRUE(QFile::exists(wav));  // transcribing a file leaves it alone
}

TEST_F(SpeechEndpointTest, BadAnswersAreRecognitionErrorsAndHostileOnesTypedRefusals) {
    test::LogCapture log;
    server.answerBody({}, 401);
    EXPECT_THROW(recognized(), RecognitionError);
    server.answerBody(R"({"txt":"x"})");
    EXPECT_THROW(recognized(), RecognitionError);
    const auto serviceError = test::thrown<SpeechService::ServiceError>(
        [&] { await(service().transcribe(wav, CancellationToken())); });
    EXPECT_EQ(serviceError.value().kind(), SpeechService::ServiceError::emptyTranscription);
    EXPECT_EQ(log.failureCodes(), QStringList{u"transcription"_s});

    // A transcript past the 1 MB an answer may have.
    server.answerBody(R"({"text":")" + QByteArray(2 << 20, 'a') + R"("})");
    EXPECT_EQ(test::thrown<NetworkError>([&] { recognized(); }).value().code(),
              NetworkError::Code::tooLarge);
    // A redirect to another port is not followed (the answer is its 307): neither the key nor
    // the recording goes there.
    credentials->secrets.insert(u"speech"_s, u"sk-test"_s);
    test::ChatCompletionsServer elsewhere;
    server.answerRedirect(elsewhere.url(u"/v1/audio/transcriptions"_s).toUtf8(), 307);
    EXPECT_THROW(recognized(), RecognitionError);
    EXPECT_FALSE(test::spinUntil([&] { return !elsewhere.requests().isEmpty(); }, 200));
}

TEST_F(SpeechEndpointTest, AnEndpointThatNeverAnswersTimesOutAndTheTransferIsAborted) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    bool disconnected = false;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        QObject::connect(silent.nextPendingConnection(), &QTcpSocket::disconnected,
                         [&] { disconnected = true; });
    });
    configure(u"http://127.0.0.1:%1/v1"_s.arg(silent.serverPort()), u"m"_s);
    EXPECT_THROW(await(service(std::chrono::milliseconds(1000)).transcribe(wav, {})),
                 SpeechService::ServiceError);
    EXPECT_TRUE(test::spinUntil([&] { return disconnected; }));
}

TEST_F(SpeechEndpointTest, AvailabilityAndLocalityFollowThePreferences) {
    const struct {
        const char* baseURL;
        const char* model;
        bool available;
        bool local;
    } cases[] = {{"http://localhost:8080/v1", "m", true, true},
                 {"http://[::1]:8080", "m", true, true},
                 {"https://speech.example.com/v1//", "m", true, false},
                 {" \t", "m", false, false},
                 {"http://127.0.0.1:1", "", false, true}};
    for (const auto& c : cases) {
        configure(QLatin1String(c.baseURL), QLatin1String(c.model));
        EXPECT_EQ(recognizer->isAvailable(), c.available) << c.baseURL;
        EXPECT_EQ(recognizer->isLocal(), c.local) << c.baseURL;
    }
}

TEST(SpeechRecognizerChoice, ChineseThenThePreferredLanguagesThenEnglish) {
    const std::pair<QStringList, QString> cases[] = {{{u"fr-FR"_s, u"en-US"_s}, u"fr-FR"_s},
                                                     {{u"en-US"_s}, u"en-US"_s},
                                                     {{u"zh-CN"_s, u"fr-FR"_s}, u"zh-CN"_s},
                                                     {{u"de-DE"_s}, {}}};
    for (const auto& [languages, expected] : cases) {
        const QStringList& available = languages;  // a lambda cannot capture a binding in clang 14
        // A recogniser for every language but German.
        QMap<QString, std::shared_ptr<SpeechRecognizer>> made;
        const RecognizerFactory make = [&](const QString& locale) {
            auto recognizer = std::make_shared<ScriptedRecognizer>();
            recognizer->available = available.contains(locale);
            return locale == u"de-DE" ? nullptr : (made[locale] = recognizer);
        };
        const auto picked = SpeechService::pickRecognizer({u"fr-FR"_s, u"de-DE"_s}, make);
        EXPECT_EQ(picked, made.value(expected));
    }
}

TEST_F(SpeechEndpointTest, SystemRecognizersPreferTheConfiguredEndpoint) {
    configure({}, {});
    const auto onDevice = std::make_shared<ScriptedRecognizer>();
    const auto make = SpeechService::systemRecognizers(preferences, credentials, onDevice);
    EXPECT_FALSE(make(u"fr-FR"_s));
    EXPECT_EQ(make(u"en_US"_s), onDevice);
    configure(u"http://127.0.0.1:9/v1"_s, u"whisper-1"_s);
    const auto endpoint = SpeechService::pickRecognizer({u"fr-FR"_s}, make);
    ASSERT_TRUE(dynamic_cast<TranscriptionEndpointRecognizer*>(endpoint.get()));
    EXPECT_TRUE(endpoint->isLocal());
}

// The programs' microphone is the speech module's; without the module there is no input.
TEST(SpeechModuleInput, NoInputDeviceOrNoModuleMeansInputUnavailable) {
    QTemporaryDir dir;
    test::LogCapture log;
    const auto startWith = [&](const QString& modulePath) {
        SpeechService speech(
            std::make_shared<ScriptedRecognizer>(),
            std::make_shared<ModuleAudioInput>(speechModule(modulePath)), nullptr,
            {SpeechServiceOptions::kRecognitionTimeout, dir.path(), dir.filePath(u"last.wav"_s)});
        return serviceErrorOf([&] { speech.start(); });
    };
    EXPECT_EQ(startWith(dir.filePath(u"speech.so"_s)), Kind::inputUnavailable);
    EXPECT_EQ(log.failureCodes(), QStringList{u"speechModule"_s});
    if (!QMediaDevices::defaultAudioInput().isNull()) GTEST_SKIP() << "this machine has an input";
    EXPECT_EQ(startWith(QStringLiteral(ZORBEL_SPEECH_MODULE_FILE)), Kind::inputUnavailable);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// On-device recognition through the module (hearing speech made by espeak-ng is the extract
// command's test of a recording); its availability is the model's, known without the module.
TEST(SpeechModuleRecognizer, HearsNothingInSilenceAndRefusesAFileThatIsNot16kHzMono) {
    QTemporaryDir dir;
    EXPECT_FALSE(ModuleSpeechRecognizer(speechModule(), dir.path()).isAvailable());
    ModuleSpeechRecognizer recognizer(speechModule(QStringLiteral(ZORBEL_SPEECH_MODULE_FILE)));
    ASSERT_TRUE(recognizer.isAvailable()) << "the pocketsphinx-en-us model is missing";
    const int bytes = 2 * WavFile::kSampleRate;
    writeFile(dir.filePath(u"silence.wav"_s), WavFile::header(bytes) + QByteArray(bytes, '\0'));
    EXPECT_TRUE(
        await(recognizer.recognize(dir.filePath(u"silence.wav"_s), {})).trimmed().isEmpty());
    QByteArray header = WavFile::header(4);
    header[22] = 2;  // two channels
    writeFile(dir.filePath(u"stereo.wav"_s), header + QByteArray(4, '\0'));
    EXPECT_THROW(await(recognizer.recognize(dir.filePath(u"stereo.wav"_s), {})), WavFileError);
}
