#pragma once

#include "llm/CredentialStoring.h"

namespace zorbel {

/// The system secret store (Secret Service through QtKeychain): one entry per account under
/// the service "com.zorbel.app.llm". A missing entry is no value, not an error.
/// Throws KeychainError carrying the QtKeychain error code for every other failure, including
/// a machine without a secret service (nothing is ever written to a file instead).
/// Each call waits for the store; callable from any thread that can run an event loop.
class KeychainCredentialStore final : public CredentialStoring {
public:
    static constexpr const char* service = "com.zorbel.app.llm";

    std::optional<QString> credential(const QString& account) override;
    void setCredential(const QString& value, const QString& account) override;
    void removeCredential(const QString& account) override;
};

}  // namespace zorbel
