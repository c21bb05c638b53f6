// The request path against a loopback chat-completions server: what goes over the wire, what a
// hostile or failing server gets, model lists, cancellation, and what is logged.

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <variant>

#include "ClientFixture.h"
#include "llm/ChatRequest.h"

using namespace Qt::Literals::StringLiterals;
using namespace zorbel;
using test::await;
using test::ChatCompletionsServer;
using test::RecordedRequest;

namespace {

const QString kEvent =
    uR"({"events":[{"title":"开会","start_time":"2026-12-06T15:00:00+08:00","end_time":"2026-12-06T16:00:00+08:00"}]})"_s;

/// What a call threw: nothing, the client's own error, or a transport failure's code.
using Failure = std::variant<std::monostate, LLMError, NetworkError::Code>;

template <typename Run>
Failure failureOf(Run run) {
    try {
        run();
    } catch (const LLMError& error) {
        return error;
    } catch (const NetworkError& error) {
        return error.code();
    }
    return {};
}

class ClientRequest : public test::ClientFixture {
protected:
    ClientRequest() {
        options.lmstudioBaseURL = server.url();
        options.requestTimeoutMs = 5000;
        options.resourceTimeoutMs = 5000;
        server.answerContent(kEvent);
    }

    void useCustom(const QString& baseURL, const QString& key = u"sk-test"_s) {
        choose(u"custom"_s);
        defaults->setValue(u"llm.baseURL"_s, baseURL);
        defaults->setValue(u"llm.model"_s, u"my-model"_s);
        store->secrets.insert(u"custom"_s, key);
    }
    Failure captureFailure() {
        return failureOf([this] { capture(); });
    }
    /// The deepseek preset with its models served by `at`, and its key stored.
    LLMPreset listedBy(const ChatCompletionsServer& at) {
        LLMPreset provider = preset(u"deepseek"_s);
        provider.baseURL = at.url(u"/v1/"_s);
        store->secrets.insert(u"deepseek"_s, u"sk-d"_s);
        return provider;
    }
    RecordedRequest onlyRequest() {
        EXPECT_EQ(server.requests().size(), 1);
        return server.requests().value(0);
    }

    /// The one server of these tests: the custom provider's, and the local ones'.
    ChatCompletionsServer& server = ollama;
};

}  // namespace

TEST_F(ClientRequest, SendsThePromptTheMessageAndTheKeyExactlyAsStored) {
    useCustom(server.url(u"/v1/"_s), u" sk-secret \t"_s);
    options.now = [] { return QDateTime(QDate(2026, 12, 6), QTime(2, 0, 5, 250), Qt::UTC); };
    const QList<ExtractedEvent> events = capture();

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
                           {u"content"_s, ChatRequest::makeSystemPrompt(*defaults)}}));
    EXPECT_EQ(messages[1].toObject(),
              (QJsonObject{{u"role"_s, u"user"_s},
                           {u"content"_s,
                            u"现在时间：2026-12-06T02:00:05Z\n\n粘贴文本：明天下午3点开会"_s}}));

    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(
        u"event=requestFinished(providerID: \"custom\", statusCode: Optional(200), "_s));
    EXPECT_FALSE(log.lines()[0].contains(u"sk-"_s));
}

// The automatic route is in AutoReadsWithTheRulesUntilALocalServerAnswers.
TEST_F(ClientRequest, ALocalPresetTurnsThinkingOffAndLogsItsId) {
    choose(u"lmstudio"_s);
    defaults->setValue(u"llm.model"_s, u"local-model"_s);
    capture();
    const RecordedRequest request = onlyRequest();
    EXPECT_EQ(request.json().value(u"think"_s), QJsonValue(false));
    EXPECT_EQ(request.json().value(u"model"_s), u"local-model"_s);
    EXPECT_FALSE(request.hasHeader("Authorization"));
    EXPECT_TRUE(
        log.lines().value(0).startsWith(u"event=requestFinished(providerID: \"lmstudio\""_s));
}

// Every refusal is typed, logged under its code, never carries the key into the log, and no
// redirect takes the key or the text to another origin.
TEST_F(ClientRequest, AHostileServerGetsATypedRefusalAndNothingGoesElsewhere) {
    enum class Call { chat, modelList };
    struct Row {
        const char* what;
        Call call;
        std::function<void(ChatCompletionsServer&)> answer;
        Failure expected;
        QStringList failureCodes;
    };
    const auto body = [](const QByteArray& bytes, int status = 200) {
        return [bytes, status](ChatCompletionsServer& s) { s.answerBody(bytes, status); };
    };
    const auto dropping = [](ChatCompletionsServer& s) { s.dropConnections(); };
    const auto silent = [](ChatCompletionsServer& s) { s.delayAnswers(3000); };
    const auto bad = LLMError::of(LLMError::Kind::badResponse);
    const QStringList chatFailed{u"llmRequest"_s}, listFailed{u"modelListRequest"_s};
    using Code = NetworkError::Code;
    using enum Call;
    std::vector<Row> rows = {
        {"an answer past 8 MB", chat, body(QByteArray(9 << 20, ' ')), Code::tooLarge, chatFailed},
        {"a list past 1 MB", modelList, body(QByteArray((1 << 20) + 1, ' ')), Code::tooLarge,
         listFailed},
        {"a dropped connection", chat, dropping, Code::other, chatFailed},
        {"a dropped connection", modelList, dropping, Code::other, listFailed},
        {"no answer", chat, silent, Code::timedOut, chatFailed},
        {"an HTTP error", chat, body("{}", 401), LLMError::httpStatus(401), {}},
        {"an HTTP error", modelList, body("{}", 403), LLMError::httpStatus(403), {}},
        {"cut-off JSON", chat, body("{\"choices\":"), bad, {u"badResponse"_s}},
        {"a list not in an object", modelList, body(R"([{"id":"x"}])"), bad, {u"modelListParse"_s}},
    };
    ChatCompletionsServer elsewhere;
    const QByteArray away = elsewhere.url(u"/v1/chat/completions"_s).toUtf8();
    for (const int status : {301, 302, 303, 307, 308}) {
        const auto redirect = [away, status](ChatCompletionsServer& s) {
            s.answerRedirect(away, status);
        };
        rows.push_back({"a redirect elsewhere", chat, redirect, LLMError::httpStatus(status), {}});
        rows.push_back(
            {"a redirect elsewhere", modelList, redirect, LLMError::httpStatus(status), {}});
    }
    options.requestTimeoutMs = 500;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what + std::string(row.call == chat ? " to a chat" : " to a list"));
        ChatCompletionsServer hostile;
        row.answer(hostile);
        log.clear();
        useCustom(hostile.url());
        const LLMPreset listing = listedBy(hostile);
        EXPECT_EQ(row.call == chat ? captureFailure()
                                   : failureOf([&] { await(client().fetchRemoteModels(listing)); }),
                  row.expected);
        EXPECT_EQ(log.failureCodes(), row.failureCodes);
        if (const auto* error = std::get_if<LLMError>(&row.expected);
            error && error->kind() == LLMError::Kind::httpStatus) {
            EXPECT_TRUE(
                log.lines().value(0).contains(u"statusCode: Optional(%1)"_s.arg(error->status())));
        }
        for (const QString& line : log.lines()) EXPECT_FALSE(line.contains(u"sk-"_s));
        EXPECT_FALSE(hostile.requests().isEmpty());
    }
    EXPECT_TRUE(elsewhere.requests().isEmpty());
}

TEST_F(ClientRequest, ARedirectWithinTheServersOriginIsFollowedWithItsBody) {
    useCustom(server.url(u"/old"_s));
    server.answerRedirect(server.url(u"/v1/chat/completions"_s).toUtf8(), 307);
    QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, kEvent}};
    server.answerPath(
        "/v1/chat/completions",
        QJsonDocument(QJsonObject{{u"choices"_s, QJsonArray{QJsonObject{{u"message"_s, message}}}}})
            .toJson());
    EXPECT_EQ(capture().size(), 1);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[1].body, server.requests()[0].body);
}

// LM Studio with no model chosen or listed, a base URL without scheme, and plain HTTP to another
// machine (to this one it is allowed: every other case here sends its key to a loopback server).
TEST_F(ClientRequest, WithoutAProviderOrWithAKeyInClearTextNothingIsSent) {
    using enum LLMError::Kind;
    const std::tuple<QString, LLMError::Kind, QString> cases[] = {
        {{}, noProvider, u"noProvider"_s},
        {u"127.0.0.1:8080/v1"_s, noProvider, u"badBaseURL"_s},
        {u"http://192.0.2.1/v1"_s, insecureURL, u"insecureBaseURL"_s}};
    choose(u"lmstudio"_s);
    for (const auto& [baseURL, kind, code] : cases) {
        log.clear();
        if (!baseURL.isEmpty()) useCustom(baseURL);
        EXPECT_EQ(captureFailure(), Failure(LLMError::of(kind)));
        EXPECT_EQ(log.failureCodes(), QStringList{code});
    }
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ClientRequest, CancellingAbortsTheRequest) {
    useCustom(server.url());
    server.delayAnswers(5000);
    test::Running request(router().extractEvents(u"x"_s, u"口述文本"_s, token));
    ASSERT_TRUE(test::spinUntil([&] { return server.requests().size() == 1; }));
    token.cancel();
    ASSERT_TRUE(test::spinUntil([&] { return request.finished; }, 2000));
    EXPECT_EQ(failureOf([&] { std::rethrow_exception(request.error); }),
              Failure(NetworkError::Code::cancelled));
    EXPECT_EQ(log.failureCodes(), QStringList{u"llmRequest"_s});

    // A capture cancelled before its request goes out sends nothing and logs nothing.
    log.clear();
    EXPECT_THROW(capture(), CancelledError);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(ClientRequest, APictureGoesAsADataUrlAndItsEventsNameNoText) {
    choose(u"ollama"_s);
    const PreparedImage image{QByteArray("\xff\xd8jpeg-bytes"), u"image/jpeg"_s};
    const QList<ExtractedEvent> events = await(router().extractEvents(image, u"图片内容"_s, token));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].sourceText, u"（图片）"_s);
    EXPECT_TRUE(onlyRequest().body.contains(image.data.toBase64()));
    EXPECT_TRUE(client().supportsVisionInput());
}

TEST_F(ClientRequest, AModelListComesFromTheModelsEndpointWithTheProvidersKey) {
    EXPECT_EQ(failureOf([&] { await(client().fetchRemoteModels(preset(u"custom"_s))); }),
              Failure(LLMError::of(LLMError::Kind::noProvider)));
    server.answerBody(R"({"data":[{"id":"deepseek-chat"},{"object":"model"},{"id":"r1"}]})");
    EXPECT_EQ(await(client().fetchRemoteModels(listedBy(server))),
              (QStringList{u"deepseek-chat"_s, u"r1"_s}));
    EXPECT_EQ(onlyRequest().method + ' ' + onlyRequest().path, "GET /v1/models");
    EXPECT_EQ(onlyRequest().header("Authorization"), "Bearer sk-d");
    EXPECT_TRUE(log.lines().value(0).startsWith(
        u"event=requestFinished(providerID: \"deepseek\", statusCode: Optional(200), "_s));
}

TEST_F(ClientRequest, TheBuiltInRulesAnswerOnThisMachineAtTheGivenInstant) {
    // Sunday 6 December 2026, 10:00 in Shanghai: "明天" is Monday the 7th.
    options.now = [] { return QDateTime(QDate(2026, 12, 6), QTime(2, 0), Qt::UTC); };
    useCustom(server.url());
    options.presetOverride = u"builtin"_s;
    EXPECT_EQ(client().providerRoute(), (ProviderRoute{u"builtin"_s, true}));
    EXPECT_FALSE(client().supportsVisionInput());
    const QList<ExtractedEvent> events = capture(u"明天下午3点在研发楼301开项目评审"_s);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].startDate, QDateTime(QDate(2026, 12, 7), QTime(7, 0), Qt::UTC));
    EXPECT_EQ(events[0].sourceText, u"明天下午3点在研发楼301开项目评审"_s);
    EXPECT_TRUE(server.requests().isEmpty());  // no socket was opened for it
    // The override is this client's alone: the settings still name the custom provider.
    EXPECT_EQ(defaults->string(u"llm.preset"_s), u"custom"_s);
}
