#pragma once

#include <qcoro/qcorotask.h>
#include <QCoreApplication>
#include <QString>
#include <functional>
#include <memory>

#include "core/CaptureServices.h"
#include "support/Preferences.h"

namespace zorbel {

/// Lets captured content go to a cloud provider only after the user agreed, once per provider
/// (and destination, for a provider at an address the user sets) and kind of content.
/// Agreements live in the preference store under "cloudConsent.<provider>.<kind>.v1", or
/// "cloudConsent.<provider>.<percent-encoded destination>.<kind>.v1"; only `true` is ever
/// written, a refusal is not kept.
/// Runs on the GUI thread.
class CloudTransmissionGate final : public CloudTransmissionAuthorizing {
public:
    /// Asks the user; true means agreed.
    using Prompt = std::function<QCoro::Task<bool>(QString providerID, CaptureKind kind)>;

    CloudTransmissionGate(std::shared_ptr<Preferences> defaults, Prompt prompt);

    /// The preference key of one agreement.
    static QString consentKey(const QString& providerID, CaptureKind kind,
                              const QString& destination = {});
    /// The words the consent question uses for a kind of content ("口述内容", ...).
    static QString consentLabel(CaptureKind kind);
    /// The consent question's headline.
    static QString consentMessage();
    /// The consent question's explanation for a kind and a provider's display name.
    static QString consentInformativeText(CaptureKind kind, const QString& displayName);
    /// Removes every agreement of one provider, for any destination, and no others.
    static void clearConsent(Preferences& defaults, const QString& providerID);

    bool hasConsent(const QString& providerID, CaptureKind kind,
                    const QString& destination = {}) const;
    /// True at once when agreed before; otherwise asks, and remembers a yes.
    QCoro::Task<bool> authorize(QString providerID, CaptureKind kind, QString destination) override;

    /// The consent question's texts, here and in the windows that ask it.
    Q_DECLARE_TR_FUNCTIONS(CloudTransmissionGate)

private:
    std::shared_ptr<Preferences> m_defaults;
    Prompt m_prompt;
};

}  // namespace zorbel
