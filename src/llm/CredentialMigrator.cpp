#include "llm/CredentialMigrator.h"

#include <algorithm>

#include "llm/LLMClient.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

struct Candidate {
    QString preferenceKey;
    QString account;
};

QList<Candidate> candidates() {
    QList<Candidate> all = {{u"llm.apiKey"_s, u"custom"_s}};
    for (const LLMPreset& preset : LLMClient::presets()) {
        all.append({u"llm.preset."_s + preset.id + u".key"_s, preset.id});
    }
    return all;
}

}  // namespace

CredentialMigrator::CredentialMigrator(std::shared_ptr<Preferences> defaults,
                                       std::shared_ptr<CredentialStoring> store,
                                       std::shared_ptr<Preferences> older)
    : m_defaults(std::move(defaults)), m_store(std::move(store)), m_older(std::move(older)) {}

bool CredentialMigrator::isKey(const QString& preferenceKey) {
    const QList<Candidate> all = candidates();
    return std::any_of(all.begin(), all.end(), [&](const Candidate& candidate) {
        return candidate.preferenceKey == preferenceKey;
    });
}

QCoro::Task<> CredentialMigrator::migrateIfNeeded() {
    const QString marker = QLatin1String(markerKey);
    if (m_defaults->boolean(marker)) co_return;

    struct Kept {
        Preferences* source;
        Candidate candidate;
        QString value;
    };
    QList<Kept> kept;
    for (Preferences* source : {m_defaults.get(), m_older.get()}) {
        if (!source) continue;
        for (const Candidate& candidate : candidates()) {
            const QString value = source->string(candidate.preferenceKey).value_or(QString());
            if (!value.isEmpty()) kept.append({source, candidate, value});
        }
    }
    for (const Kept& key : kept) {
        co_await m_store->setCredential(key.value, key.candidate.account);
    }
    for (const Kept& key : kept) key.source->remove(key.candidate.preferenceKey);
    m_defaults->setValue(marker, true);
}

}  // namespace zorbel
