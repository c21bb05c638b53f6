#include "llm/CredentialMigrator.h"

#include "llm/LLMClient.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

CredentialMigrator::CredentialMigrator(std::shared_ptr<Preferences> defaults,
                                       std::shared_ptr<CredentialStoring> store)
    : m_defaults(std::move(defaults)), m_store(std::move(store)) {}

QCoro::Task<> CredentialMigrator::migrateIfNeeded() {
    const QString marker = QLatin1String(markerKey);
    if (m_defaults->boolean(marker)) co_return;

    struct Candidate {
        QString preferenceKey;
        QString account;
    };
    QList<Candidate> candidates = {{u"llm.apiKey"_s, u"custom"_s}};
    for (const LLMPreset& preset : LLMClient::presets()) {
        candidates.append({u"llm.preset."_s + preset.id + u".key"_s, preset.id});
    }
    QList<std::pair<Candidate, QString>> kept;
    for (const Candidate& candidate : candidates) {
        const QString value = m_defaults->string(candidate.preferenceKey).value_or(QString());
        if (!value.isEmpty()) kept.append({candidate, value});
    }
    for (const auto& [candidate, value] : kept) {
        co_await m_store->setCredential(value, candidate.account);
    }
    for (const auto& [candidate, value] : kept) m_defaults->remove(candidate.preferenceKey);
    m_defaults->setValue(marker, true);
}

}  // namespace zorbel
