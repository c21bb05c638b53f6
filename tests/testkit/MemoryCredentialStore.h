#pragma once

#include <QHash>
#include <QString>

#include "core/CredentialStoring.h"

namespace zorbel::test {

/// An in-memory secret store for tests of the logic above the store: counts its calls, can
/// fail its reads or its n-th write. Roads that read a real secret use the real keyring.
class MemoryCredentialStore : public CredentialStoring {
public:
    QCoro::Task<std::optional<QString>> credential(QString account) override {
        ++reads;
        if (failReads) throw KeychainError(7);
        const auto found = secrets.constFind(account);
        if (found == secrets.cend()) co_return std::nullopt;
        co_return *found;
    }
    QCoro::Task<> setCredential(QString value, QString account) override {
        if (++writes == failingWrite) throw KeychainError(5);
        secrets.insert(account, value);
        co_return;
    }
    QCoro::Task<> removeCredential(QString account) override {
        secrets.remove(account);
        co_return;
    }

    QHash<QString, QString> secrets;
    int reads = 0;
    int writes = 0;
    int failingWrite = 0;  ///< 1-based number of the write that fails; 0: none
    bool failReads = false;
};

}  // namespace zorbel::test
