#pragma once
// A model client over fresh settings and an in-memory secret store, with two loopback servers
// where the local Ollama and LM Studio would be. Captures go through the router, as in the app.

#include <gtest/gtest.h>

#include "capture/ExtractorRouter.h"
#include "llm/LLMClient.h"
#include "llm/LocalDiscovery.h"
#include "rules/RuleBasedExtractor.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

namespace zorbel::test {

class ClientFixture : public ::testing::Test {
protected:
    ClientFixture() {
        options.ollamaBaseURL = ollama.url();
        options.lmstudioBaseURL = lmstudio.url();
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
    /// What a capture talks to: the client, or the built-in rules where its route says so.
    ExtractorRouter& router() {
        client();
        return *m_router;
    }
    QList<ExtractedEvent> capture(const QString& text = QStringLiteral("明天下午3点开会")) {
        return await(router().extractEvents(text, QStringLiteral("粘贴文本"), token));
    }
    void choose(const QString& presetID) {
        defaults->setValue(QStringLiteral("llm.preset"), presetID);
    }
    static LLMPreset preset(const QString& id) { return LLMClient::preset(id); }

    TempXdg xdg;
    std::shared_ptr<Preferences> defaults = Preferences::standard();
    std::shared_ptr<MemoryCredentialStore> store = std::make_shared<MemoryCredentialStore>();
    ChatCompletionsServer ollama;
    ChatCompletionsServer lmstudio;
    LLMClientOptions options;
    CancellationToken token;
    LogCapture log;
    int scansFinished = 0;

private:
    std::shared_ptr<LLMClient> m_client;
    std::unique_ptr<ExtractorRouter> m_router;
};

}  // namespace zorbel::test
