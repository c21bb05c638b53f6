#pragma once

#include <qcoro/qcorotask.h>
#include <memory>

#include "llm/CredentialStoring.h"
#include "support/Preferences.h"

namespace zorbel {

/// Moves API keys that older versions kept in the preference store into the secret store,
/// once. Runs at start-up on the GUI thread, before the model client reads any key.
class CredentialMigrator {
public:
    /// The marker set once the move has completed.
    static constexpr const char* markerKey = "credentials.migratedToKeychain.v1";

    CredentialMigrator(std::shared_ptr<Preferences> defaults,
                       std::shared_ptr<CredentialStoring> store);

    /// Writes every stored key to its account, then removes them from the preferences and sets
    /// the marker (also when there was nothing to move). Throws the store's first error: then
    /// nothing is removed and the marker stays unset, so the next start tries again.
    QCoro::Task<> migrateIfNeeded();

private:
    std::shared_ptr<Preferences> m_defaults;
    std::shared_ptr<CredentialStoring> m_store;
};

}  // namespace zorbel
