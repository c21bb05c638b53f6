// Provider presets, the resolution of server, key and model, the key cache and local discovery
// against two loopback servers (with a fake `ollama` executable).

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "ClientFixture.h"
#include "testkit/ShellEnvironment.h"

using namespace Qt::Literals::StringLiterals;
using namespace zorbel;
using test::await;
using test::spinUntil;
using Config = LLMClient::ResolvedConfig;

namespace {

class Providers : public test::ClientFixture {
protected:
    Providers() {
        options.ollamaExecutables = {executables.path() + u"/ollama"_s};
        options.probeTimeoutMs = 1000;
        options.rescanDelayMs = 50;
    }

    /// Runs one scan to its callback.
    void scan() {
        const int before = scansFinished;
        client().scanLocalProviders();
        ASSERT_TRUE(spinUntil([&] { return scansFinished > before; }));
    }
    /// A fake `ollama` that notes every start with its arguments.
    QString installFakeOllama() {
        test::writeTool(executables.path() + u"/ollama"_s,
                        "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/started\"\n");
        return executables.path() + u"/started"_s;
    }

    QTemporaryDir executables;
};

QByteArray tags(const QByteArray& models) {
    return R"({"models":)" + models + "}";
}

}  // namespace

TEST(PresetTable, KeyedPresetsAreCloudOnesOverHttpsAndUnknownIdsAreAuto) {
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

TEST_F(Providers, TheOlderProviderKeyIsTakenOverOnce) {
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
TEST_F(Providers, AScanProbesBothServersAndAutoPrefersOllamaThenLMStudio) {
    EXPECT_FALSE(client().resolvedConfig());
    EXPECT_EQ(client().providerRoute(), (ProviderRoute{u"auto"_s, true}));
    EXPECT_FALSE(client().supportsVisionInput());
    ollama.answerBody(tags(R"([{"name":"a"},{"size":1},{"name":7},{"name":"b"}])"));
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
    ollama.answerBody(tags("[]"));
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

TEST_F(Providers, AutoReadsWithTheRulesUntilALocalServerAnswersAndAgainAfterItStops) {
    // Fresh settings, nothing listening on either local port.
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
    ollama.answerPath("/api/tags", tags(R"([{"name":"llama3:8b"}])"));
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

TEST_F(Providers, TheModelPickedForALocalPresetReachesTheRequest) {
    choose(u"ollama"_s);
    EXPECT_EQ(client().resolvedConfig(), (Config{ollama.url(), {}, u"qwen2.5vl:3b"_s}));
    client().setSelectedModel(u"shared-choice"_s);
    EXPECT_EQ(client().resolvedConfig()->model, u"shared-choice"_s);
    client().setModel(u"gemma3:4b"_s, preset(u"ollama"_s));
    EXPECT_EQ(defaults->string(u"llm.preset.ollama.model"_s), u"gemma3:4b"_s);
    EXPECT_EQ(client().resolvedConfig()->model, u"gemma3:4b"_s);

    choose(u"lmstudio"_s);
    client().setSelectedModel(QString());
    EXPECT_FALSE(client().resolvedConfig());
    client().setModel(u"mistral-7b"_s, preset(u"lmstudio"_s));
    EXPECT_EQ(client().resolvedConfig(), (Config{lmstudio.url(), {}, u"mistral-7b"_s}));
    EXPECT_EQ(client().providerRoute(), (ProviderRoute{u"lmstudio"_s, true}));
}

TEST_F(Providers, CustomAndCloudPresetsResolveTrimmedSettingsAndTheStoredKey) {
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
    EXPECT_EQ(await(client().key(preset(u"deepseek"_s))), QString());
    EXPECT_EQ(client().resolvedConfig(),
              (Config{*preset(u"deepseek"_s).baseURL, QString(), u"deepseek-chat"_s}));
    // A key that is simply not stored is no failure.
    EXPECT_TRUE(log.failureCodes().isEmpty());
    client().setModel(u"  deepseek-reasoner "_s, preset(u"deepseek"_s));
    EXPECT_EQ(client().resolvedConfig()->model, u"deepseek-reasoner"_s);
    EXPECT_FALSE(defaults->contains(u"llm.model"_s) &&
                 defaults->string(u"llm.model"_s) == u"  deepseek-reasoner "_s);
}

TEST_F(Providers, KeysAreCachedOnHitsAndOnWritesButNotOnMisses) {
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

    // A store that fails: the read is a logged miss, a write is reported but still used here.
    store->failReads = true;
    store->failingWrite = store->writes + 1;
    log.clear();
    EXPECT_EQ(await(client().key(preset(u"openai"_s))), QString());
    EXPECT_EQ(log.failureCodes(), QStringList{u"credentialRead"_s});
    EXPECT_FALSE(await(client().setKey(u"sk-openai"_s, preset(u"openai"_s))));
    EXPECT_EQ(await(client().key(preset(u"openai"_s))), u"sk-openai"_s);
}

TEST_F(Providers, ModelChoicesAndListsUseTheirOwnKeys) {
    const LLMPreset qwen = preset(u"qwen"_s);
    client().setModel(u"qwen-max"_s, qwen);
    client().setModel(u"for-auto"_s, preset(u"auto"_s));
    EXPECT_EQ(defaults->string(u"llm.preset.qwen.model"_s), u"qwen-max"_s);
    EXPECT_EQ(client().selectedModel(), u"for-auto"_s);
    EXPECT_EQ(client().model(preset(u"custom"_s)), u"for-auto"_s);
    EXPECT_EQ(client().model(qwen), u"qwen-max"_s);

    client().saveModelList({u"only-one"_s}, qwen);
    EXPECT_EQ(client().savedModelList(qwen), QStringList{u"only-one"_s});
    client().saveModelList({u"a"_s, u"b"_s}, qwen);
    defaults->sync();
    EXPECT_EQ(Preferences(u"com.zorbel.app"_s).value(u"llm.preset.qwen.models"_s).toStringList(),
              (QStringList{u"a"_s, u"b"_s}));
    EXPECT_TRUE(client().savedModelList(preset(u"kimi"_s)).isEmpty());
}

TEST_F(Providers, AMissingOllamaIsStartedOnceAndScannedAgain) {
    const QString startedLog = installFakeOllama();
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

TEST_F(Providers, AScanOutlivedByNoClientDoesNothing) {
    ollama.delayAnswers(200);
    client().scanLocalProviders();
    destroyClient();
    EXPECT_FALSE(
        spinUntil([&] { return ollama.requests().size() == 1 && scansFinished > 0; }, 600));
    EXPECT_EQ(scansFinished, 0);
    EXPECT_TRUE(defaults->value(u"llm.ollamaModels"_s).toStringList().isEmpty());
}
