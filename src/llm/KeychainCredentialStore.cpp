#include "llm/KeychainCredentialStore.h"

#include <qcoro/qcorosignal.h>
#include <qt6keychain/keychain.h>
#include <QCoreApplication>
#include <QThread>
#include <memory>

#include "support/DeleteLater.h"

namespace zorbel {

namespace {

using JobPointer = LaterPointer<QKeychain::Job>;

/// Starts the job for the account and waits for it; returns its error code. Throws
/// KeychainError(OtherError) when it has not finished in time.
QCoro::Task<int> run(JobPointer& job, QString account, std::chrono::milliseconds timeout) {
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    job->start();
    const auto finished = co_await qCoro(job.get(), &QKeychain::Job::finished, timeout);
    if (!finished) {
        // The library still holds the unanswered job and runs the next ones only after it;
        // deleting it now would leave its callbacks a dead object. It goes once it ends.
        QObject::connect(job.get(), &QKeychain::Job::finished, job.get(), &QObject::deleteLater);
        job.release();
        throw KeychainError(QKeychain::OtherError);
    }
    co_return job->error();
}

}  // namespace

KeychainCredentialStore::KeychainCredentialStore(std::chrono::milliseconds timeout)
    : m_timeout(timeout) {}

QCoro::Task<std::optional<QString>> KeychainCredentialStore::credential(QString account) {
    auto* const read = new QKeychain::ReadPasswordJob(QLatin1String(service));
    JobPointer job(read);
    const int error = co_await run(job, std::move(account), m_timeout);
    if (error == QKeychain::EntryNotFound) co_return std::nullopt;
    if (error != QKeychain::NoError) throw KeychainError(error);
    const QByteArray data = read->binaryData();
    QString text = QString::fromUtf8(data);
    // Bytes that are not UTF-8 are no usable secret.
    if (text.toUtf8() != data) co_return std::nullopt;
    co_return text;
}

QCoro::Task<> KeychainCredentialStore::setCredential(QString value, QString account) {
    auto* const write = new QKeychain::WritePasswordJob(QLatin1String(service));
    write->setBinaryData(value.toUtf8());
    JobPointer job(write);
    const int error = co_await run(job, std::move(account), m_timeout);
    if (error != QKeychain::NoError) throw KeychainError(error);
}

QCoro::Task<> KeychainCredentialStore::removeCredential(QString account) {
    JobPointer job(new QKeychain::DeletePasswordJob(QLatin1String(service)));
    const int error = co_await run(job, std::move(account), m_timeout);
    if (error != QKeychain::NoError && error != QKeychain::EntryNotFound) {
        throw KeychainError(error);
    }
}

}  // namespace zorbel
