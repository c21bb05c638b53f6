#pragma once

#include <QTemporaryDir>
#include <memory>

#include "llm/LLMClient.h"
#include "support/Preferences.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

namespace zorbel::test {

/// What the shell's tests start from: own XDG folders and a scratch folder, an in-memory secret
/// store, and a model client over both that finds no local server (nothing answers on the
/// discard port) and never starts `ollama`.
struct ShellEnvironment {
    TempXdg xdg;
    QTemporaryDir dir;
    std::shared_ptr<MemoryCredentialStore> credentials = std::make_shared<MemoryCredentialStore>();
    LLMClient client{Preferences::standard(), credentials,
                     LLMClientOptions{.ollamaBaseURL = QStringLiteral("http://127.0.0.1:9/v1"),
                                      .lmstudioBaseURL = QStringLiteral("http://127.0.0.1:9/v1"),
                                      .ollamaExecutables = {}}};
};

}  // namespace zorbel::test
