// The request path against a loopback chat-completions server: what goes over the wire, every
// row of the failure table, cancellation, and what is logged.

#include <gtest/gtest.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimeZone>

#include "capture/ExtractorRouter.h"
#include "llm/ChatRequest.h"
#include "llm/LLMClient.h"
#include "rules/RuleBasedExtractor.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::CancellationToken;
using zorbel::ExtractedEvent;
using zorbel::LLMClient;
using zorbel::LLMError;
using zorbel::NetworkError;
using zorbel::test::ChatCompletionsServer;
using zorbel::test::RecordedRequest;

namespace {

const QString kEvent =
    uR"({"events":[{"title":"开会","start_time":"2026-12-06T15:00:00+08:00","end_time":"2026-12-06T16:00:00+08:00"}]})"_s;

class ClientRequest : public ::testing::Test {
protected:
    ClientRequest() {
        options.ollamaBaseURL = server.url();
        options.lmstudioBaseURL = server.url();
        options.requestTimeoutMs = 5000;
        options.resourceTimeoutMs = 5000;
        server.answerContent(kEvent);
    }

    LLMClient& client() {
        if (!m_client) m_client = std::make_shared<LLMClient>(defaults, store, options);
        return *m_client;
    }
    /// What a capture talks to: the client, or the built-in rules where its route says so.
    zorbel::ExtractorRouter& router() {
        client();
        if (!m_router) {
            m_router = std::make_unique<zorbel::ExtractorRouter>(
                m_client, std::make_shared<zorbel::RuleBasedExtractor>(options.now));
        }
        return *m_router;
    }
    void useCustom(const QString& baseURL, const QString& key = u"sk-test"_s) {
        defaults->setValue(u"llm.preset"_s, u"custom"_s);
        defaults->setValue(u"llm.baseURL"_s, baseURL);
        defaults->setValue(u"llm.model"_s, u"my-model"_s);
        store->secrets.insert(u"custom"_s, key);
    }
    QList<ExtractedEvent> extract(const QString& text = u"明天下午3点开会"_s) {
        return zorbel::test::await(router().extractEvents(text, u"粘贴文本"_s, token));
    }
    RecordedRequest onlyRequest() {
        EXPECT_EQ(server.requests().size(), 1);
        return server.requests().value(0);
    }
    template <typename Error>
    Error failure() {
        try {
            extract();
        } catch (const Error& error) {
            return error;
        }
        throw std::runtime_error("the expected error was not thrown");
    }

    zorbel::test::TempXdg xdg;
    std::shared_ptr<zorbel::Preferences> defaults = zorbel::Preferences::standard();
    std::shared_ptr<zorbel::test::MemoryCredentialStore> store =
        std::make_shared<zorbel::test::MemoryCredentialStore>();
    ChatCompletionsServer server;
    zorbel::LLMClientOptions options;
    CancellationToken token;
    zorbel::test::LogCapture log;

private:
    std::shared_ptr<LLMClient> m_client;
    std::unique_ptr<zorbel::ExtractorRouter> m_router;
};

}  // namespace

TEST_F(ClientRequest, SendsThePromptTheMessageAndTheKeyExactlyAsStored) {
    useCustom(server.url(u"/v1/"_s), u" sk-secret \t"_s);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const QList<ExtractedEvent> events = extract();
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].title, u"开会"_s);
    EXPECT_EQ(events[0].sourceText, u"明天下午3点开会"_s);
    const RecordedRequest request = onlyRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/chat/completions");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer  sk-secret \t");

    const QJsonObject body = request.json();
    EXPECT_EQ(body.value(u"model"_s), u"my-model"_s);
    EXPECT_EQ(body.value(u"temperature"_s).toDouble(), 0.2);
    EXPECT_EQ(body.value(u"stream"_s), QJsonValue(false));
    EXPECT_FALSE(body.contains(u"think"_s));
    const QJsonArray messages = body.value(u"messages"_s).toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].toObject(),
              (QJsonObject{{u"role"_s, u"system"_s},
                           {u"content"_s, zorbel::ChatRequest::makeSystemPrompt(*defaults)}}));
    EXPECT_EQ(messages[1].toObject().value(u"role"_s), u"user"_s);
    const QRegularExpressionMatch match =
        QRegularExpression(u"^现在时间：(\\S+)\n\n粘贴文本：明天下午3点开会$"_s)
            .match(messages[1].toObject().value(u"content"_s).toString());
    ASSERT_TRUE(match.hasMatch());
    const QDateTime sent = QDateTime::fromString(match.captured(1), Qt::ISODate);
    EXPECT_TRUE(match.captured(1).endsWith(u'Z'));
    EXPECT_TRUE(sent >= before && sent <= after) << match.captured(1).toStdString();

    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(
        u"event=requestFinished(providerID: \"custom\", statusCode: Optional(200), "_s));
}

TEST_F(ClientRequest, RemovesOnlyOneTrailingSlashAndSendsNoAuthorizationWithoutAKey) {
    useCustom(server.url(u"/v1//"_s), QString());
    extract();
    EXPECT_EQ(onlyRequest().path, "/v1//chat/completions");
    EXPECT_FALSE(onlyRequest().hasHeader("Authorization"));
}

TEST_F(ClientRequest, AutoAndLocalRoutesTurnThinkingOffAndLogTheirPresetId) {
    // The automatic route looks for local servers before each capture.
    server.answerPath("/api/tags", R"({"models":[{"name":"llama3:8b"}]})");
    extract();
    RecordedRequest request = server.requests().last();
    // The local servers are probed side by side, in no fixed order, before the request.
    QByteArrayList probes;
    for (const RecordedRequest& earlier : server.requests().first(server.requests().size() - 1)) {
        probes.append(earlier.path);
    }
    EXPECT_TRUE(probes.contains("/api/tags")) << probes.join(' ').toStdString();
    EXPECT_EQ(request.path, "/v1/chat/completions");
    EXPECT_EQ(request.json().value(u"think"_s), QJsonValue(false));
    EXPECT_EQ(request.json().value(u"model"_s), u"qwen2.5vl:3b"_s);
    EXPECT_FALSE(request.hasHeader("Authorization"));
    EXPECT_TRUE(log.lines().value(0).startsWith(u"event=requestFinished(providerID: \"auto\""_s));

    defaults->setValue(u"llm.preset"_s, u"lmstudio"_s);
    defaults->setValue(u"llm.model"_s, u"local-model"_s);
    extract();
    request = server.requests().last();
    EXPECT_EQ(request.json().value(u"think"_s), QJsonValue(false));
    EXPECT_EQ(request.json().value(u"model"_s), u"local-model"_s);
    EXPECT_TRUE(
        log.lines().value(1).startsWith(u"event=requestFinished(providerID: \"lmstudio\""_s));
}

TEST_F(ClientRequest, RedirectsAreFollowedOnlyWithinTheServersOrigin) {
    ChatCompletionsServer elsewhere;
    elsewhere.answerContent(kEvent);
    for (const int status : {301, 302, 303, 307, 308}) {
        ChatCompletionsServer bouncer;
        useCustom(bouncer.url(), u"sk-secret"_s);
        bouncer.answerRedirect(elsewhere.url(u"/v1/chat/completions"_s).toUtf8(), status);
        // Not followed: the redirect itself is the answer, an HTTP failure.
        EXPECT_EQ(failure<LLMError>(), LLMError::httpStatus(status)) << status;
        EXPECT_TRUE(elsewhere.requests().isEmpty()) << status;
    }
    // Within the same origin a 307 is followed, with its body.
    useCustom(server.url(u"/old"_s));
    server.answerRedirect(server.url(u"/v1/chat/completions"_s).toUtf8(), 307);
    QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, kEvent}};
    server.answerPath(
        "/v1/chat/completions",
        QJsonDocument(QJsonObject{{u"choices"_s, QJsonArray{QJsonObject{{u"message"_s, message}}}}})
            .toJson());
    EXPECT_EQ(extract().size(), 1);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[1].body, server.requests()[0].body);
}

TEST_F(ClientRequest, WithoutAProviderNothingIsSent) {
    // LM Studio with no model chosen or listed.
    defaults->setValue(u"llm.preset"_s, u"lmstudio"_s);
    EXPECT_EQ(failure<LLMError>(), LLMError::of(LLMError::Kind::noProvider));
    EXPECT_EQ(log.failureCodes(), QStringList{u"noProvider"_s});

    log.clear();
    useCustom(u"127.0.0.1:8080/v1"_s);
    EXPECT_EQ(failure<LLMError>(), LLMError::of(LLMError::Kind::noProvider));
    EXPECT_EQ(log.failureCodes(), QStringList{u"badBaseURL"_s});
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ClientRequest, AnHttpErrorIsThrownWithItsStatusAndLogged) {
    useCustom(server.url());
    server.answerBody(R"({"error":"bad key"})", 401);
    const LLMError error = failure<LLMError>();
    EXPECT_EQ(error, LLMError::httpStatus(401));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(
        u"event=requestFinished(providerID: \"custom\", statusCode: Optional(401), "_s));
}

TEST_F(ClientRequest, RepliesOfTheWrongShapeAreBadResponses) {
    useCustom(server.url());
    for (const QByteArray& body : {QByteArray(R"({"choices":[]})"), QByteArray("{\"choices\":"),
                                   QByteArray(R"({"choices":[{"message":{}}]})")}) {
        log.clear();
        server.answerBody(body);
        EXPECT_EQ(failure<LLMError>(), LLMError::of(LLMError::Kind::badResponse));
        EXPECT_EQ(log.failureCodes(), QStringList{u"badResponse"_s}) << body.constData();
    }
}

TEST_F(ClientRequest, ProseWithoutJsonIsAnEmptyListNotAnError) {
    useCustom(server.url());
    server.answerContent(u"今天没有安排。"_s);
    EXPECT_TRUE(extract().isEmpty());
    EXPECT_EQ(log.failureCodes(), QStringList{u"noJSON"_s});
}

TEST_F(ClientRequest, TransportFailuresKeepTheirCodeAndAreLogged) {
    useCustom(server.url());
    server.dropConnections();
    EXPECT_EQ(failure<NetworkError>().code(), NetworkError::Code::other);
    EXPECT_EQ(log.failureCodes(), QStringList{u"llmRequest"_s});

    // An answer past 8 MB is refused while it arrives.
    log.clear();
    ChatCompletionsServer flooding;
    flooding.answerBody(QByteArray(9 << 20, ' '));
    useCustom(flooding.url());
    EXPECT_EQ(failure<NetworkError>().code(), NetworkError::Code::tooLarge);
    EXPECT_EQ(log.failureCodes(), QStringList{u"llmRequest"_s});
}

TEST_F(ClientRequest, AKeyNeverCrossesTheNetworkInClearText) {
    // Plain HTTP to another machine is refused before anything is sent (to this machine it is
    // allowed: every other case here sends its key to a loopback server).
    useCustom(u"http://192.0.2.1/v1"_s, u"sk-secret"_s);
    EXPECT_EQ(failure<LLMError>(), LLMError::of(LLMError::Kind::insecureURL));
    EXPECT_EQ(log.failureCodes(), QStringList{u"insecureBaseURL"_s});
}

TEST_F(ClientRequest, ASilentServerRunsIntoTheTimeOut) {
    useCustom(server.url());
    server.delayAnswers(3000);
    options.requestTimeoutMs = 200;
    options.resourceTimeoutMs = 300;
    EXPECT_EQ(failure<NetworkError>().code(), NetworkError::Code::timedOut);
    EXPECT_EQ(log.failureCodes(), QStringList{u"llmRequest"_s});
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(ClientRequest, CancellingAbortsTheRequest) {
    useCustom(server.url());
    server.delayAnswers(5000);
    std::optional<QList<ExtractedEvent>> value;
    std::exception_ptr error;
    bool finished = false;
    auto driver = zorbel::test::detail::drive(router().extractEvents(u"x"_s, u"口述文本"_s, token),
                                              value, error, finished);
    ASSERT_TRUE(zorbel::test::spinUntil([&] { return server.requests().size() == 1; }));
    token.cancel();
    ASSERT_TRUE(zorbel::test::spinUntil([&] { return finished; }, 2000));
    try {
        std::rethrow_exception(error);
    } catch (const NetworkError& e) {
        EXPECT_EQ(e.code(), NetworkError::Code::cancelled);
    }
    EXPECT_EQ(log.failureCodes(), QStringList{u"llmRequest"_s});

    // A capture cancelled before its request goes out sends nothing and logs nothing.
    log.clear();
    EXPECT_THROW(extract(), zorbel::CancelledError);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(ClientRequest, APictureGoesAsADataUrlAndItsEventsNameNoText) {
    defaults->setValue(u"llm.preset"_s, u"ollama"_s);
    const zorbel::PreparedImage image{QByteArray("\xff\xd8jpeg-bytes"), u"image/jpeg"_s};
    const QList<ExtractedEvent> events =
        zorbel::test::await(router().extractEvents(image, u"图片内容"_s, token));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].sourceText, u"（图片）"_s);
    const QJsonArray parts = onlyRequest()
                                 .json()
                                 .value(u"messages"_s)
                                 .toArray()[1]
                                 .toObject()
                                 .value(u"content"_s)
                                 .toArray();
    EXPECT_EQ(parts[1].toObject().value(u"image_url"_s).toObject().value(u"url"_s),
              u"data:image/jpeg;base64,"_s + QString::fromLatin1(image.data.toBase64()));
    EXPECT_TRUE(client().supportsVisionInput());
}

TEST_F(ClientRequest, TheKeyReachesNeitherThePreferenceFileNorTheLog) {
    const QString secret = u"sk-very-secret-1234"_s;
    useCustom(server.url());
    zorbel::test::await(client().setApiKey(secret));
    extract();
    server.answerBody("{}", 401);
    EXPECT_THROW(extract(), LLMError);
    EXPECT_EQ(server.requests().value(1).header("Authorization"), "Bearer " + secret.toUtf8());
    defaults->sync();
    QFile file(defaults->filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    EXPECT_TRUE(contents.contains("my-model"));
    EXPECT_FALSE(contents.contains(secret.toUtf8()));
    EXPECT_EQ(log.lines().size(), 2);
    for (const QString& line : log.lines()) EXPECT_FALSE(line.contains(secret));
}

TEST_F(ClientRequest, TheBuiltInRulesAnswerOnThisMachineAtTheGivenInstant) {
    // Sunday 6 December 2026, 10:00 in Shanghai: "明天" is Monday the 7th.
    options.now = [] { return QDateTime(QDate(2026, 12, 6), QTime(2, 0), Qt::UTC); };
    useCustom(server.url());
    options.presetOverride = u"builtin"_s;
    EXPECT_EQ(client().providerRoute(), (zorbel::ProviderRoute{u"builtin"_s, true}));
    EXPECT_FALSE(client().supportsVisionInput());
    const QList<ExtractedEvent> events = extract(u"明天下午3点在研发楼301开项目评审"_s);
    ASSERT_EQ(events.size(), 1);
    const QDateTime start = events[0].startDate.toTimeZone(QTimeZone("Asia/Shanghai"));
    EXPECT_EQ(start.date(), QDate(2026, 12, 7));
    EXPECT_EQ(start.time(), QTime(15, 0));
    EXPECT_EQ(events[0].sourceText, u"明天下午3点在研发楼301开项目评审"_s);
    EXPECT_TRUE(server.requests().isEmpty());  // no socket was opened for it
    // The override is this client's alone: the settings still name the custom provider.
    EXPECT_EQ(defaults->string(u"llm.preset"_s), u"custom"_s);
}
