#pragma once

#include <qcoro/qcorotask.h>
#include <memory>

#include "core/CredentialStoring.h"
#include "support/Preferences.h"

namespace zorbel {

/// Moves API keys that older versions kept in the preference store, or in the predecessor's
/// store, into the secret store, once. Runs at start-up on the GUI thread, before the model client
/// reads any key.
class CredentialMigrator {
public:
    /// The marker set once the move has completed.
    static constexpr const char* markerKey = "credentials.migratedToKeychain.v1";

    /// `older`: the predecessor's store; its key wins over one in `defaults` for the same
    /// account, as its other settings do.
    CredentialMigrator(std::shared_ptr<Preferences> defaults,
                       std::shared_ptr<CredentialStoring> store,
                       std::shared_ptr<Preferences> older = nullptr);

    /// Whether `preferenceKey` names an API key, which only the secret store may keep.
    static bool isKey(const QString& preferenceKey);

    /// Writes every stored key to its account, then removes them from the stores they were in
    /// and sets the marker (also when there was nothing to move). Throws the store's first
    /// error: then nothing is removed and the marker stays unset, so the next start tries again.
    QCoro::Task<> migrateIfNeeded();

private:
    std::shared_ptr<Preferences> m_defaults;
    std::shared_ptr<CredentialStoring> m_store;
    std::shared_ptr<Preferences> m_older;
};

}  // namespace zorbel
