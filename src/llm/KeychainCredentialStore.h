#pragma once

#include <chrono>

#include "core/CredentialStoring.h"

namespace zorbel {

/// The system secret store (Secret Service through QtKeychain): one entry per account under
/// the service "com.zorbel.app.llm". A missing entry is no value, not an error.
/// Throws KeychainError carrying the QtKeychain error code for every other failure, including
/// a machine without a secret service (nothing is ever written to a file instead), and
/// KeychainError(OtherError) when the store has not answered within the time-out (a locked
/// keyring waiting on its prompt, a hung daemon).
/// GUI thread only: the keychain library queues its jobs on the thread that first used it, so
/// every job is created, awaited and deleted there, never on a pool thread.
class KeychainCredentialStore final : public CredentialStoring {
public:
    static constexpr const char* service = "com.zorbel.app.llm";
    static constexpr std::chrono::milliseconds defaultTimeout{30000};

    explicit KeychainCredentialStore(std::chrono::milliseconds timeout = defaultTimeout);

    QCoro::Task<std::optional<QString>> credential(QString account) override;
    QCoro::Task<> setCredential(QString value, QString account) override;
    QCoro::Task<> removeCredential(QString account) override;

private:
    std::chrono::milliseconds m_timeout;
};

}  // namespace zorbel
