#include <gtest/gtest.h>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "input/SpeechService.h"
#include "input/TranscriptionEndpointRecognizer.h"
#include "input/WavFile.h"
#include "support/Errors.h"
#include "support/Preferences.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using test::await;

namespace {

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
    EXPECT_TRUE(recognizer->isAvailable() && recognizer->isLocal());
    for (const auto& c : cases) {
        configure(QLatin1String(c.baseURL), QLatin1String(c.model));
        EXPECT_EQ(recognizer->isAvailable(), c.available) << c.baseURL;
        EXPECT_EQ(recognizer->isLocal(), c.local) << c.baseURL;
    }
    configure(u"https://speech.example.com/v1//"_s, u"m"_s);
    EXPECT_EQ(recognizer->endpoint().toString(),
              u"https://speech.example.com/v1//audio/transcriptions"_s);
}
