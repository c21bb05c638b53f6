#include <gtest/gtest.h>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "input/TranscriptionEndpointRecognizer.h"
#include "support/Errors.h"
#include "support/Preferences.h"
#include "testkit/LogCapture.h"
#include "testkit/SpeechTestDoubles.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using test::await;

namespace {

/// A loopback HTTP server that records one request and answers as configured (or never).
class TranscriptionServer {
public:
    int status = 200;
    QByteArray body = R"({"text":" hello there \n"})";
    QByteArray extraHeaders;  ///< whole lines, each ending in CR LF
    bool answer = true;

    QByteArray requestLine;
    QMap<QByteArray, QByteArray> headers;  ///< lower-cased names
    QByteArray requestBody;
    bool complete = false;
    bool disconnected = false;

    TranscriptionServer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            buffer.clear();
            complete = false;
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, [this] { disconnected = true; });
        });
    }
    QString baseURL(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:") + QString::number(server.serverPort()) + path;
    }

private:
    void read(QTcpSocket* socket) {
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0 || complete) return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        requestLine = lines.first().trimmed();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            headers.insert(lines[i].left(colon).trimmed().toLower(),
                           lines[i].mid(colon + 1).trimmed());
        }
        if (buffer.size() - end - 4 < headers.value("content-length").toLongLong()) return;
        requestBody = buffer.mid(end + 4);
        complete = true;
        if (!answer) return;
        socket->write("HTTP/1.1 " + QByteArray::number(status) +
                      " X\r\nContent-Type: application/json\r\nConnection: close\r\n" +
                      extraHeaders + "Content-Length: " + QByteArray::number(body.size()) +
                      "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QByteArray buffer;
};

class SpeechEndpointTest : public ::testing::Test {
protected:
    test::TempXdg xdg;
    QTemporaryDir dir;
    TranscriptionServer server;
    std::shared_ptr<Preferences> preferences = Preferences::standard();
    std::shared_ptr<test::MemoryCredentialStore> credentials =
        std::make_shared<test::MemoryCredentialStore>();
    std::shared_ptr<TranscriptionEndpointRecognizer> recognizer =
        std::make_shared<TranscriptionEndpointRecognizer>(preferences, credentials);
    const QByteArray samples = QByteArray(3200, '\x11');
    QString wav;

    void SetUp() override {
        configure(server.baseURL(QStringLiteral("/v1/")), QStringLiteral(" whisper-small\t"));
        wav = dir.filePath(QStringLiteral("zorbel-TEST.wav"));
        WavFile file(wav);
        file.append(samples);
    }
    void configure(const QString& baseURL, const QString& model) {
        preferences->setValue(QStringLiteral("speech.baseURL"), baseURL);
        preferences->setValue(QStringLiteral("speech.model"), model);
    }
    SpeechService service(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return SpeechService(
            recognizer, nullptr, nullptr,
            SpeechServiceOptions{timeout, dir.path(), dir.filePath(QStringLiteral("last.wav"))});
    }
};

}  // namespace

TEST_F(SpeechEndpointTest, PostsTheRecordingAsMultipartWithTheKeyAndModel) {
    credentials->secrets.insert(QStringLiteral("speech"), QStringLiteral("sk-test"));
    EXPECT_EQ(await(service().transcribe(wav, CancellationToken())), QStringLiteral("hello there"));
    EXPECT_EQ(server.requestLine, QByteArray("POST /v1/audio/transcriptions HTTP/1.1"));
    EXPECT_EQ(server.headers.value("authorization"), QByteArray("Bearer sk-test"));
    EXPECT_TRUE(server.headers.value("content-type").startsWith("multipart/form-data; boundary="));
    const QByteArray& body = server.requestBody;
    EXPECT_TRUE(
        body.contains("Content-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-small\r\n"));
    EXPECT_TRUE(body.contains("form-data; name=\"file\"; filename=\"zorbel-TEST.wav\""));
    EXPECT_TRUE(body.contains("Content-Type: audio/wav"));
    EXPECT_TRUE(body.contains(WavFile::header(samples.size()) + samples));
    EXPECT_TRUE(QFile::exists(wav));  // transcribing a file leaves it alone
}

TEST_F(SpeechEndpointTest, NoKeyMeansNoAuthorizationHeader) {
    EXPECT_EQ(await(recognizer->recognize(wav, CancellationToken())),
              QStringLiteral(" hello there \n"));
    EXPECT_FALSE(server.headers.contains("authorization"));
}

TEST_F(SpeechEndpointTest, ErrorStatusesAndBadAnswersAreRecognitionErrors) {
    test::LogCapture log;
    server.status = 401;
    EXPECT_THROW(await(recognizer->recognize(wav, CancellationToken())), RecognitionError);
    server.status = 200;
    server.body = R"({"txt":"x"})";
    EXPECT_THROW(await(recognizer->recognize(wav, CancellationToken())), RecognitionError);
    try {
        await(service().transcribe(wav, CancellationToken()));
        ADD_FAILURE() << "no error";
    } catch (const SpeechService::ServiceError& error) {
        EXPECT_EQ(error.kind(), SpeechService::ServiceError::emptyTranscription);
    }
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("transcription")});
}

TEST_F(SpeechEndpointTest, AHostileServerGetsATypedRefusalAndSendsNothingElsewhere) {
    credentials->secrets.insert(QStringLiteral("speech"), QStringLiteral("sk-test"));
    const auto refusal = [&] {
        try {
            await(recognizer->recognize(wav, CancellationToken()));
        } catch (const NetworkError& error) {
            return std::optional(error.code());
        }
        return std::optional<NetworkError::Code>();
    };
    // A transcript past the 1 MB an answer may have.
    server.body = R"({"text":")" + QByteArray(2 << 20, 'a') + R"("})";
    EXPECT_EQ(refusal(), NetworkError::Code::tooLarge);
    // A redirect to another port is not followed (the answer is its 307): neither the key nor
    // the recording goes there.
    TranscriptionServer elsewhere;
    server.body = {};
    server.status = 307;
    server.extraHeaders =
        "Location: " + elsewhere.baseURL(QStringLiteral("/v1/audio/transcriptions")).toUtf8() +
        "\r\n";
    EXPECT_THROW(await(recognizer->recognize(wav, CancellationToken())), RecognitionError);
    EXPECT_FALSE(test::spinUntil([&] { return !elsewhere.requestLine.isEmpty(); }, 200));
}

TEST_F(SpeechEndpointTest, AnEndpointThatNeverAnswersTimesOutAndTheTransferIsAborted) {
    server.answer = false;
    EXPECT_THROW(
        await(service(std::chrono::milliseconds(1000)).transcribe(wav, CancellationToken())),
        SpeechService::ServiceError);
    EXPECT_TRUE(test::spinUntil([&] { return server.disconnected; }));
}

TEST_F(SpeechEndpointTest, AvailabilityAndLocalityFollowThePreferences) {
    EXPECT_TRUE(recognizer->isAvailable());
    EXPECT_TRUE(recognizer->isLocal());
    configure(QStringLiteral("http://localhost:8080/v1"), QStringLiteral("m"));
    EXPECT_TRUE(recognizer->isLocal());
    configure(QStringLiteral("http://[::1]:8080"), QStringLiteral("m"));
    EXPECT_TRUE(recognizer->isLocal());
    configure(QStringLiteral("https://speech.example.com/v1//"), QStringLiteral("m"));
    EXPECT_FALSE(recognizer->isLocal());
    EXPECT_EQ(recognizer->endpoint().toString(),
              QStringLiteral("https://speech.example.com/v1//audio/transcriptions"));
    configure(QStringLiteral(" \t"), QStringLiteral("m"));
    EXPECT_FALSE(recognizer->isAvailable());
    configure(QStringLiteral("http://127.0.0.1:1"), QString());
    EXPECT_FALSE(recognizer->isAvailable());
}
