#pragma once

#include <qcoro/qcorotask.h>
#include <QString>
#include <optional>

#include "support/Errors.h"

namespace zorbel {

/// A failing call of the secret store; `status` is the store's own error code.
class KeychainError : public Error {
public:
    explicit KeychainError(qint32 status) : Error("keychain"), m_status(status) {}
    qint32 status() const { return m_status; }

private:
    qint32 m_status;
};

/// The secret store: one secret per account (a provider preset id, "caldav", "speech").
/// Secrets live only here, never in preferences or logs.
/// Every operation is awaited on the GUI thread and throws KeychainError when the store fails
/// or does not answer in time.
class CredentialStoring {
public:
    virtual ~CredentialStoring() = default;
    /// The stored secret, or nothing when the account has none (not an error).
    virtual QCoro::Task<std::optional<QString>> credential(QString account) = 0;
    /// Creates or replaces the account's secret.
    virtual QCoro::Task<> setCredential(QString value, QString account) = 0;
    /// Deletes the account's secret; deleting a missing one succeeds.
    virtual QCoro::Task<> removeCredential(QString account) = 0;
};

}  // namespace zorbel
