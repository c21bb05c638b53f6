#include "llm/KeychainCredentialStore.h"

#include <qt6keychain/keychain.h>
#include <QEventLoop>

namespace zorbel {

namespace {

/// Runs the job to its end and returns its error code.
QKeychain::Error run(QKeychain::Job& job, const QString& account) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(account);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    job.start();
    if (!finished) loop.exec();
    return job.error();
}

}  // namespace

std::optional<QString> KeychainCredentialStore::credential(const QString& account) {
    QKeychain::ReadPasswordJob job{QLatin1String(service)};
    const QKeychain::Error error = run(job, account);
    if (error == QKeychain::EntryNotFound) return std::nullopt;
    if (error != QKeychain::NoError) throw KeychainError(error);
    const QByteArray data = job.binaryData();
    QString text = QString::fromUtf8(data);
    // Bytes that are not UTF-8 are no usable secret.
    if (text.toUtf8() != data) return std::nullopt;
    return text;
}

void KeychainCredentialStore::setCredential(const QString& value, const QString& account) {
    QKeychain::WritePasswordJob job{QLatin1String(service)};
    job.setBinaryData(value.toUtf8());
    const QKeychain::Error error = run(job, account);
    if (error != QKeychain::NoError) throw KeychainError(error);
}

void KeychainCredentialStore::removeCredential(const QString& account) {
    QKeychain::DeletePasswordJob job{QLatin1String(service)};
    const QKeychain::Error error = run(job, account);
    if (error != QKeychain::NoError && error != QKeychain::EntryNotFound) {
        throw KeychainError(error);
    }
}

}  // namespace zorbel
