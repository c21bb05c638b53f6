#pragma once

#include <QString>
#include <optional>

namespace zorbel {

/// One row of the provider table: a model provider the client can talk to.
struct LLMPreset {
    QString id;                      ///< stored in preferences and used as the secret store account
    QString displayName;             ///< the name the provider menu shows
    std::optional<QString> baseURL;  ///< fixed base URL; none for "auto" and "custom"
    bool needsKey = false;           ///< the provider requires an API key
    std::optional<QString> defaultModel;  ///< used when the user chose no model

    /// Content stays on the machine (Ollama, LM Studio, the built-in rules): needs no key and is
    /// neither "auto" nor "custom".
    bool isLocal() const;
    /// The built-in rules on this machine: no server, key or model.
    bool isBuiltin() const { return id == u"builtin"; }
    /// The base URL comes from the preferences ("auto", "custom").
    bool isEditable() const { return !baseURL.has_value() && !isBuiltin(); }

    bool operator==(const LLMPreset&) const = default;
};

/// The name the cloud consent question gives the receiver of content: the preset's display
/// name, or "语音转写服务" for the speech upload (provider id "speech", not a preset).
QString consentReceiverName(const QString& providerID);

}  // namespace zorbel
