// The model client: the prompt and the reading of a reply; the request path against loopback
// chat-completions servers (wire, hostile servers, model lists, cancellation, the log); presets,
// the resolution of server, key and model, the key cache and local discovery; the secret store
// with no session bus (nothing else here talks to D-Bus, whose connections last the process).

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QTemporaryDir>
#include <ctime>
#include <variant>

#include "capture/ExtractorRouter.h"
#include "llm/ChatRequest.h"
#include "llm/KeychainCredentialStore.h"
#include "llm/LLMClient.h"
#include "llm/LocalDiscovery.h"
#include "llm/UserProfile.h"
#include "rules/RuleBasedExtractor.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/ShellEnvironment.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using namespace zorbel;
using test::await;
using test::ChatCompletionsServer;
using test::RecordedRequest;
using test::spinUntil;
using Config = LLMClient::ResolvedConfig;

namespace {

// The zone is fixed before main so the prompt's time-zone line is known.
const bool kZoneSet = [] {
    qputenv("TZ", "Asia/Shanghai");
    tzset();
    return true;
}();

QString expectedPrompt() {
    return QString::fromUtf8(zorbel::test::readFile(
        QStringLiteral(ZORBEL_LLM_DATA_DIR "/system_prompt_Asia_Shanghai.txt")));
}

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

/// A model client over fresh settings and an in-memory secret store, with two loopback servers
/// where the local Ollama and LM Studio would be. Captures go through the router, as in the app.
class Client : public ::testing::Test {
protected:
    Client() {
        options.ollamaBaseURL = ollama.url();
        options.lmstudioBaseURL = lmstudio.url();
        options.ollamaExecutables = {executables.path() + u"/ollama"_s};
        options.probeTimeoutMs = 1000;
        options.rescanDelayMs = 50;
        options.requestTimeoutMs = 5000;
        options.resourceTimeoutMs = 5000;
        server.answerContent(kEvent);
    }

    /// Made on first use, so that a test can set `options` and the settings first.
    LLMClient& client() {
        if (!m_client) {
            m_client = std::make_shared<LLMClient>(defaults, store, options);
            QObject::connect(&m_client->discovery(), &LocalDiscovery::scanFinished,
                             [this] { ++scansFinished; });
            m_router = std::make_unique<ExtractorRouter>(
                m_client, std::make_shared<RuleBasedExtractor>(options.now));
        }
        return *m_client;
    }
    void destroyClient() {
        m_router.reset();
        m_client.reset();
    }
    ExtractorRouter& router() {
        client();
        return *m_router;
    }
    QList<ExtractedEvent> capture(const QString& text = QStringLiteral("明天下午3点开会")) {
        return await(router().extractEvents(text, QStringLiteral("粘贴文本"), token));
    }
    Failure captureFailure() {
        return failureOf([this] { capture(); });
    }
    void choose(const QString& presetID) { defaults->setValue(u"llm.preset"_s, presetID); }
    static LLMPreset preset(const QString& id) { return LLMClient::preset(id); }
    void useCustom(const QString& baseURL, const QString& key = u"sk-test"_s) {
        choose(u"custom"_s);
        defaults->setValue(u"llm.baseURL"_s, baseURL);
        defaults->setValue(u"llm.model"_s, u"my-model"_s);
        store->secrets.insert(u"custom"_s, key);
    }
    /// The deepseek preset with its models served by `at`, and its key stored.
    LLMPreset listedBy(const ChatCompletionsServer& at) {
        LLMPreset provider = preset(u"deepseek"_s);
        provider.baseURL = at.url(u"/v1/"_s);
        store->secrets.insert(u"deepseek"_s, u"sk-d"_s);
        return provider;
    }
    /// Runs one scan to its callback.
    void scan() {
        const int before = scansFinished;
        client().scanLocalProviders();
        ASSERT_TRUE(spinUntil([&] { return scansFinished > before; }));
    }
    RecordedRequest onlyRequest() {
        EXPECT_EQ(server.requests().size(), 1);
        return server.requests().value(0);
    }

    test::TempXdg xdg;
    std::shared_ptr<Preferences> defaults = Preferences::standard();
    std::shared_ptr<test::MemoryCredentialStore> store =
        std::make_shared<test::MemoryCredentialStore>();
    QTemporaryDir executables;
    test::ChatCompletionsServer ollama;
    test::ChatCompletionsServer lmstudio;
    /// The server of the request tests: the custom provider's, and Ollama's.
    test::ChatCompletionsServer& server = ollama;
    LLMClientOptions options;
    CancellationToken token;
    test::LogCapture log;
    int scansFinished = 0;

private:
    std::shared_ptr<LLMClient> m_client;
    std::unique_ptr<ExtractorRouter> m_router;
};

}  // namespace

TEST_F(Client, SendsThePromptTheMessageAndTheKeyExactlyAsStored) {
    useCustom(server.url(u"/v1/"_s), u" sk-secret \t"_s);
    // The instant goes in UTC, whatever offset the clock gives it.
    options.now = [] {
        return QDateTime(QDate(2026, 12, 6), QTime(2, 0, 5, 250), Qt::UTC).toOffsetFromUtc(3600);
    };
    const QList<ExtractedEvent> events = capture();

    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].title, u"开会"_s);
    EXPECT_EQ(events[0].sourceText, u"明天下午3点开会"_s);
    const RecordedRequest request = onlyRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/chat/completions");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer  sk-secret \t");

    const QJsonArray messages{
        QJsonObject{{u"role"_s, u"system"_s},
                    {u"content"_s, ChatRequest::makeSystemPrompt(*defaults)}},
        QJsonObject{
            {u"role"_s, u"user"_s},
            {u"content"_s, u"现在时间：2026-12-06T02:00:05Z\n\n粘贴文本：明天下午3点开会"_s}}};
    EXPECT_EQ(request.json(), (QJsonObject{{u"model"_s, u"my-model"_s},
                                           {u"temperature"_s, 0.2},
                                           {u"stream"_s, false},
                                           {u"messages"_s, messages}}));

    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(
        u"event=requestFinished(providerID: \"custom\", statusCode: Optional(200), "_s));
    EXPECT_FALSE(log.lines()[0].contains(u"sk-"_s));
}

// Every refusal is typed, logged under its code, never carries the key into the log, and no
// redirect takes the key or the text to another origin.
TEST_F(Client, AHostileServerGetsATypedRefusalAndNothingGoesElsewhere) {
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

TEST_F(Client, ARedirectWithinTheServersOriginIsFollowedWithItsBody) {
    useCustom(server.url(u"/old"_s));
    server.answerRedirect(server.url(u"/v1/chat/completions"_s).toUtf8(), 307);
    server.answerPath("/v1/chat/completions", ChatCompletionsServer::completion(kEvent));
    EXPECT_EQ(capture().size(), 1);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[1].body, server.requests()[0].body);
}

// LM Studio with no model chosen or listed, a base URL without scheme, and plain HTTP to another
// machine (to this one it is allowed: every other case here sends its key to a loopback server).
TEST_F(Client, WithoutAProviderOrWithAKeyInClearTextNothingIsSent) {
    using enum LLMError::Kind;
    const std::tuple<QString, LLMError::Kind, QString> cases[] = {
        {{}, noProvider, u"noProvider"_s},
        {u"127.0.0.1:8080/v1"_s, noProvider, u"badBaseURL"_s},
        {u"ftp://127.0.0.1/v1"_s, noProvider, u"badBaseURL"_s},
        {u"http://192.0.2.1/v1"_s, insecureURL, u"insecureBaseURL"_s}};
    choose(u"lmstudio"_s);
    for (const auto& [baseURL, kind, code] : cases) {
        log.clear();
        if (!baseURL.isEmpty()) useCustom(baseURL);
        EXPECT_EQ(captureFailure(), Failure(LLMError::of(kind)));
        EXPECT_EQ(log.failureCodes(), QStringList{code});
    }
    EXPECT_TRUE(server.requests().isEmpty() && lmstudio.requests().isEmpty());
}

TEST_F(Client, CancellingAbortsTheRequest) {
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

TEST_F(Client, APictureGoesAsADataUrlAndItsEventsNameNoText) {
    choose(u"ollama"_s);
    const PreparedImage image{QByteArray("\xff\xd8jpeg-bytes"), u"image/jpeg"_s};
    const QList<ExtractedEvent> events = await(router().extractEvents(image, u"图片内容"_s, token));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].sourceText, u"（图片）"_s);
    const QJsonObject request = onlyRequest().json();
    const QJsonValue parts = request[u"messages"_s][1][u"content"_s];
    EXPECT_TRUE(parts[0][u"text"_s].toString().contains(u"Z\n\n图片内容："_s));
    EXPECT_EQ(parts[1][u"image_url"_s][u"url"_s],
              u"data:image/jpeg;base64,"_s + QString::fromLatin1(image.data.toBase64()));
    EXPECT_TRUE(client().supportsVisionInput());
}

TEST_F(Client, AModelListComesFromTheModelsEndpointWithTheProvidersKey) {
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

TEST(SystemPrompt, MatchesTheFixedTextByteForByteAndAddsTheTrimmedShortenedPersona) {
    ASSERT_TRUE(kZoneSet);
    test::TempXdg xdg;
    Preferences& defaults = *Preferences::standard();
    EXPECT_EQ(ChatRequest::makeSystemPrompt(defaults).toUtf8(), expectedPrompt().toUtf8());

    UserProfile::setPersona(defaults, u" \n\t \n"_s);
    EXPECT_FALSE(UserProfile::personaPromptSection(defaults));
    EXPECT_EQ(ChatRequest::makeSystemPrompt(defaults), expectedPrompt());

    UserProfile::setPersona(defaults, u"\n  产品经理，常在 A 座开会  \n"_s);
    EXPECT_EQ(
        ChatRequest::makeSystemPrompt(defaults),
        expectedPrompt() +
            u"\n\n使用者背景：产品经理，常在 A 座开会\n请在提取日程时结合使用者背景判断（如职业习惯、常见地点、常用提醒偏好）。"_s);

    // Five hundred user-perceived characters are kept: an accented letter is two code points, a
    // family emoji seven, and each counts as one.
    const QString accented = u"e\u0301"_s, family = u"👨‍👩‍👧‍👦"_s;
    UserProfile::setPersona(defaults, QString(299, u'字') + family + accented.repeated(300));
    EXPECT_EQ(UserProfile::personaPromptSection(defaults)->section(u'\n', 0, 0),
              u"使用者背景："_s + QString(299, u'字') + family + accented.repeated(200));
}

TEST(ReplyContent, ReadsOnlyTheFirstChoicesMessageContent) {
    EXPECT_EQ(ChatRequest::replyContent(
                  R"({"choices":[{"message":{"content":"a"}},{"message":{"content":"b"}}]})"),
              u"a"_s);
    for (const char* body :
         {"{not json", R"({"choices":[]})", "[]", R"({"choices":{}})", R"({"choices":[1]})",
          R"({"choices":[{"message":"x"}]})", R"({"choices":[{"message":{"content":null}}]})",
          R"({"choices":[{"text":"x"}]})"}) {
        EXPECT_FALSE(ChatRequest::replyContent(body)) << body;
    }
}

// Vision models are known by name whatever the case; keyed presets are cloud ones over HTTPS.
TEST(PresetTable, KeyedPresetsAreCloudOnesOverHttpsAndUnknownIdsAreAuto) {
    EXPECT_TRUE(LLMClient::isVisionModel(u"LLaVA-13B"_s) &&
                LLMClient::isVisionModel(u"MiniCPM-V"_s));
    EXPECT_FALSE(LLMClient::isVisionModel(u"deepseek-chat"_s) || LLMClient::isVisionModel({}));
    for (const LLMPreset& preset : LLMClient::presets()) {
        SCOPED_TRACE(preset.id.toStdString());
        if (!preset.needsKey) continue;
        EXPECT_FALSE(preset.isLocal());
        if (!preset.baseURL) continue;  // the custom preset: the address is the user's
        EXPECT_TRUE(preset.baseURL->startsWith(u"https://"_s));
        EXPECT_TRUE(preset.defaultModel.has_value());
    }
    EXPECT_EQ(LLMClient::preset(u"Ollama"_s).id, u"auto"_s);
    EXPECT_EQ(LLMClient::preset(u"nonsense"_s).id, u"auto"_s);
}

TEST(KeychainWithoutService, FailsWithTheStoresCodeAndWritesNoFile) {
    test::TempXdg xdg;
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zorbel-test-bus");
    KeychainCredentialStore store;
    const auto error = test::thrown<KeychainError>(
        [&] { await(store.setCredential(u"sk-nowhere"_s, u"kimi"_s)); });
    EXPECT_EQ(error.value().status(), 7) << "QKeychain::OtherError";
    EXPECT_THROW(await(store.credential(u"kimi"_s)), KeychainError);
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    EXPECT_FALSE(test::anyFileContains(xdg.root(), "sk-nowhere"));  // no fallback to a file
}

TEST_F(Client, TheOlderProviderKeyIsTakenOverOnce) {
    EXPECT_EQ(client().currentPreset().id, u"auto"_s);
    EXPECT_EQ(defaults->string(u"llm.preset"_s), u"auto"_s);

    defaults->remove(u"llm.preset"_s);
    defaults->setValue(u"llm.provider"_s, u"deepseek"_s);
    EXPECT_EQ(client().providerRoute(), (ProviderRoute{u"deepseek"_s, false}));
    EXPECT_EQ(defaults->string(u"llm.preset"_s), u"deepseek"_s);

    defaults->remove(u"llm.preset"_s);
    defaults->setValue(u"llm.provider"_s, u"gone-provider"_s);
    EXPECT_EQ(client().currentPreset().id, u"auto"_s);
    EXPECT_EQ(defaults->string(u"llm.preset"_s), u"auto"_s);
    defaults->setValue(u"llm.provider"_s, u"kimi"_s);
    EXPECT_EQ(client().currentPreset().id, u"auto"_s);
}

// Both servers are probed and what they list kept for the next client; auto prefers Ollama,
// then LM Studio, and stays local with neither.
TEST_F(Client, AScanProbesBothServersAndAutoPrefersOllamaThenLMStudio) {
    EXPECT_FALSE(client().resolvedConfig());
    EXPECT_FALSE(client().supportsVisionInput());
    ollama.answerBody(R"({"models":[{"name":"a"},{"size":1},{"name":7},{"name":"b"}]})");
    lmstudio.answerBody(R"({"data":[{"id":"m1"},{"name":"no id"},{"id":"m2"}]})", 500);
    scan();
    EXPECT_EQ(client().ollamaModels(), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(client().lmstudioModels(), (QStringList{u"m1"_s, u"m2"_s}));
    EXPECT_TRUE(client().ollamaServiceReachable());
    EXPECT_EQ(ollama.requests().value(0).method + ollama.requests().value(0).path, "GET/api/tags");
    EXPECT_EQ(lmstudio.requests().value(0).path, "/v1/models");
    EXPECT_EQ(scansFinished, 1);
    EXPECT_EQ(client().resolvedConfig(), (Config{ollama.url(), {}, u"qwen2.5vl:3b"_s}));
    EXPECT_TRUE(client().supportsVisionInput());

    destroyClient();
    EXPECT_EQ(client().ollamaModels(), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(client().lmstudioModels(), (QStringList{u"m1"_s, u"m2"_s}));
    EXPECT_FALSE(client().ollamaServiceReachable());

    // An Ollama that answers with no models is reachable but leaves the choice to LM Studio.
    ollama.answerBody(R"({"models":[]})");
    scan();
    EXPECT_TRUE(client().ollamaServiceReachable());
    EXPECT_EQ(client().resolvedConfig(), (Config{lmstudio.url(), {}, u"m1"_s}));
    client().setSelectedModel(u" picked "_s);
    EXPECT_EQ(client().resolvedConfig(), (Config{lmstudio.url(), {}, u" picked "_s}));
    EXPECT_EQ(store->reads, 0);

    // Bad JSON and a closed port give no result; nothing is installed, so nothing is started.
    ollama.answerBody("{\"models\":");
    lmstudio.stopListening();
    scan();
    EXPECT_TRUE(client().ollamaModels().isEmpty());
    EXPECT_TRUE(client().lmstudioModels().isEmpty());
    EXPECT_FALSE(client().ollamaServiceReachable());
    EXPECT_FALSE(client().didAttemptOllamaLaunch());
    EXPECT_TRUE(defaults->value(u"llm.ollamaModels"_s).toStringList().isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(Client, AutoReadsWithTheRulesUntilALocalServerAnswersAndAgainAfterItStops) {
    ollama.stopListening();
    lmstudio.stopListening();
    const auto readByRules = [&](const QList<ExtractedEvent>& events) {
        ASSERT_EQ(events.size(), 1);
        EXPECT_EQ(events[0].location, u"研发楼301"_s);
    };
    const QString text = u"明天下午3点在研发楼301开项目评审"_s;
    readByRules(capture(text));
    EXPECT_TRUE(client().usesBuiltinRules());
    EXPECT_EQ(client().providerRoute(), (ProviderRoute{u"auto"_s, true}));

    // Ollama starts: the next capture finds it and goes to the model, without a key and with
    // thinking turned off.
    ASSERT_TRUE(ollama.resumeListening());
    ollama.answerPath("/api/tags", R"({"models":[{"name":"llama3:8b"}]})");
    ollama.answerContent(
        uR"({"events":[{"title":"模型读到的评审","start_time":"2026-12-08T15:00:00+08:00",)"
        uR"("end_time":"2026-12-08T16:00:00+08:00"}]})"_s);
    const QList<ExtractedEvent> fromModel = capture(text);
    ASSERT_EQ(fromModel.size(), 1);
    EXPECT_EQ(fromModel[0].title, u"模型读到的评审"_s);
    EXPECT_FALSE(client().usesBuiltinRules());
    const test::RecordedRequest request = ollama.requests().last();
    EXPECT_EQ(request.path, "/v1/chat/completions");
    EXPECT_EQ(request.json().value(u"think"_s), QJsonValue(false));
    EXPECT_EQ(request.json().value(u"model"_s), u"qwen2.5vl:3b"_s);
    EXPECT_FALSE(request.hasHeader("Authorization"));
    EXPECT_TRUE(log.lines().value(0).startsWith(u"event=requestFinished(providerID: \"auto\""_s));

    // It stops again: the rules read the next capture, nothing is sent anywhere.
    ollama.stopListening();
    const qsizetype before = ollama.requests().size();
    readByRules(capture(text));
    EXPECT_EQ(ollama.requests().size(), before);
    EXPECT_TRUE(log.failureCodes().isEmpty()) << log.failureCodes().join(u' ').toStdString();
}

TEST_F(Client, ThePickedModelTheTrimmedSettingsAndTheStoredKeyAreResolved) {
    choose(u"ollama"_s);
    EXPECT_EQ(client().resolvedConfig(), (Config{ollama.url(), {}, u"qwen2.5vl:3b"_s}));
    client().setSelectedModel(u"shared-choice"_s);
    EXPECT_EQ(client().resolvedConfig()->model, u"shared-choice"_s);
    client().setModel(u"gemma3:4b"_s, preset(u"ollama"_s));
    EXPECT_EQ(client().resolvedConfig()->model, u"gemma3:4b"_s);

    choose(u"lmstudio"_s);
    client().setSelectedModel(QString());
    EXPECT_FALSE(client().resolvedConfig());
    client().setModel(u"mistral-7b"_s, preset(u"lmstudio"_s));
    EXPECT_EQ(client().resolvedConfig(), (Config{lmstudio.url(), {}, u"mistral-7b"_s}));
    EXPECT_EQ(client().providerRoute(), (ProviderRoute{u"lmstudio"_s, true}));

    // Custom and cloud presets resolve trimmed settings and the stored key.
    choose(u"custom"_s);
    client().setCustomBaseURL(u" \t "_s);
    client().setSelectedModel(u"m"_s);
    EXPECT_FALSE(client().resolvedConfig());
    client().setCustomBaseURL(u"\thttp://example.test/v1 "_s);
    client().setSelectedModel(u" m\t"_s);
    store->secrets.insert(u"custom"_s, u" key "_s);
    // The configuration carries the key once it was read from the store.
    EXPECT_EQ(client().resolvedConfig(), (Config{u"http://example.test/v1"_s, QString(), u"m"_s}));
    EXPECT_EQ(await(client().apiKey()), u" key "_s);
    EXPECT_EQ(client().resolvedConfig(), (Config{u"http://example.test/v1"_s, u" key "_s, u"m"_s}));
    EXPECT_EQ(client().providerRoute(),
              (ProviderRoute{u"custom"_s, false, u"http://example.test:80"_s}));

    choose(u"deepseek"_s);
    EXPECT_EQ(client().resolvedConfig(),
              (Config{*preset(u"deepseek"_s).baseURL, QString(), u"deepseek-chat"_s}));
    client().setModel(u"  deepseek-reasoner "_s, preset(u"deepseek"_s));
    EXPECT_EQ(client().resolvedConfig()->model, u"deepseek-reasoner"_s);
}

TEST_F(Client, KeysAreCachedOnHitsAndOnWritesButNotOnMisses) {
    const LLMPreset kimi = preset(u"kimi"_s);
    EXPECT_EQ(await(client().key(kimi)), QString());
    EXPECT_EQ(await(client().key(kimi)), QString());
    EXPECT_EQ(store->reads, 2);
    EXPECT_TRUE(log.failureCodes().isEmpty());

    store->secrets.insert(u"kimi"_s, u"sk-kimi"_s);
    EXPECT_EQ(await(client().key(kimi)), u"sk-kimi"_s);
    store->secrets.insert(u"kimi"_s, u"changed behind our back"_s);
    EXPECT_EQ(await(client().key(kimi)), u"sk-kimi"_s);
    EXPECT_EQ(store->reads, 3);

    EXPECT_TRUE(await(client().setKey(QString(), kimi)));
    EXPECT_FALSE(store->secrets.contains(u"kimi"_s));
    EXPECT_EQ(await(client().key(kimi)), QString());
    EXPECT_EQ(store->reads, 3);

    EXPECT_TRUE(await(client().setApiKey(u"sk-custom"_s)));
    EXPECT_EQ(store->secrets.value(u"custom"_s), u"sk-custom"_s);
    EXPECT_EQ(await(client().apiKey()), u"sk-custom"_s);
    defaults->sync();
    EXPECT_FALSE(test::anyFileContains(xdg.root(), "sk-custom"));  // the key is the store's alone

    // A store that fails: the read is a logged miss, a write is reported but still used here.
    store->failReads = true;
    store->failingWrite = store->writes + 1;
    log.clear();
    EXPECT_EQ(await(client().key(preset(u"openai"_s))), QString());
    EXPECT_EQ(log.failureCodes(), QStringList{u"credentialRead"_s});
    EXPECT_FALSE(await(client().setKey(u"sk-openai"_s, preset(u"openai"_s))));
    EXPECT_EQ(await(client().key(preset(u"openai"_s))), u"sk-openai"_s);
}

TEST_F(Client, AMissingOllamaIsStartedOnceAndScannedAgain) {
    // A fake `ollama` that notes every start with its arguments.
    test::writeTool(executables.path() + u"/ollama"_s,
                    "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/started\"\n");
    const QString startedLog = executables.path() + u"/started"_s;
    ollama.stopListening();
    lmstudio.answerBody(R"({"data":[{"id":"m1"}]})");
    scan();
    EXPECT_TRUE(client().didAttemptOllamaLaunch());
    EXPECT_EQ(log.failureCodes(), QStringList{u"ollamaAutoLaunch"_s});
    // The first scan applied nothing; the second one, after the delay, did.
    EXPECT_EQ(lmstudio.requests().size(), 2);
    EXPECT_EQ(client().lmstudioModels(), QStringList{u"m1"_s});
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(startedLog); }));

    scan();
    EXPECT_EQ(scansFinished, 2);
    EXPECT_EQ(log.failureCodes(), QStringList{u"ollamaAutoLaunch"_s});
    EXPECT_EQ(test::readFile(startedLog), "serve\n");
}

TEST_F(Client, AScanOutlivedByNoClientDoesNothing) {
    ollama.delayAnswers(200);
    client().scanLocalProviders();
    destroyClient();
    EXPECT_FALSE(
        spinUntil([&] { return ollama.requests().size() == 1 && scansFinished > 0; }, 600));
    EXPECT_EQ(scansFinished, 0);
    EXPECT_TRUE(defaults->value(u"llm.ollamaModels"_s).toStringList().isEmpty());
}
