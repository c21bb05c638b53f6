#pragma once

#include <QHash>
#include <QMutex>

#include "llm/CredentialStoring.h"

namespace zorbel::test {

/// A secret store in memory for tests.
class MemoryCredentials final : public CredentialStoring {
public:
    std::optional<QString> credential(const QString& account) override {
        const QMutexLocker lock(&m_mutex);
        const auto found = m_secrets.constFind(account);
        return found == m_secrets.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }
    void setCredential(const QString& value, const QString& account) override {
        const QMutexLocker lock(&m_mutex);
        m_secrets.insert(account, value);
    }
    void removeCredential(const QString& account) override {
        const QMutexLocker lock(&m_mutex);
        m_secrets.remove(account);
    }

private:
    QMutex m_mutex;
    QHash<QString, QString> m_secrets;
};

}  // namespace zorbel::test
