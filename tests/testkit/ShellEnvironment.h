#pragma once

#include <gtest/gtest.h>
#include <QFile>
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

/// Writes a stand-in for a tool at `path`, executable by its owner unless told otherwise.
inline void writeTool(const QString& path, const QByteArray& text, bool executable = true) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                        (executable ? QFile::ExeOwner : QFile::Permissions()));
}

}  // namespace zorbel::test
