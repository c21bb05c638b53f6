#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

#include "llm/CredentialStoring.h"

namespace zorbel::test {

/// An in-memory secret store for tests: counts its calls, can fail its reads or its n-th write.
/// The operations may be called from any thread.
class MemoryCredentialStore : public CredentialStoring {
public:
    std::optional<QString> credential(const QString& account) override {
        const QMutexLocker lock(&m_mutex);
        ++reads;
        if (failReads) throw KeychainError(7);
        const auto found = secrets.constFind(account);
        if (found == secrets.cend()) return std::nullopt;
        return *found;
    }
    void setCredential(const QString& value, const QString& account) override {
        const QMutexLocker lock(&m_mutex);
        if (++writes == failingWrite) throw KeychainError(5);
        secrets.insert(account, value);
    }
    void removeCredential(const QString& account) override {
        const QMutexLocker lock(&m_mutex);
        ++removals;
        secrets.remove(account);
    }

    QHash<QString, QString> secrets;
    int reads = 0;
    int writes = 0;
    int removals = 0;
    int failingWrite = 0;  ///< 1-based number of the write that fails; 0: none
    bool failReads = false;

private:
    QMutex m_mutex;
};

}  // namespace zorbel::test
