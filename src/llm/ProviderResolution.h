#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "llm/LLMPreset.h"

namespace zorbel {

/// The server, key and model one request uses.
struct ResolvedConfig {
    QString baseURL;
    QString apiKey;
    QString model;
    bool operator==(const ResolvedConfig&) const = default;
};

/// What the settings and the last look for local servers say about the next request.
struct ProviderChoice {
    LLMPreset preset;
    QString selectedModel;  ///< the model of the auto and custom presets ("llm.model")
    QString presetModel;    ///< the model chosen for `preset` itself
    QString customBaseURL;
    QString key;  ///< the preset's key as cached (empty when none or not read yet)
    QString ollamaBaseURL;
    QString lmstudioBaseURL;
    QStringList ollamaModels;    ///< what the last scan found there
    QStringList lmstudioModels;  ///< what the last scan found there
    QString ollamaDefaultModel;  ///< used for Ollama when nothing was chosen
};

/// The server, key and model of the next request, or nothing when no provider can serve: auto
/// takes Ollama, then LM Studio, as the scan found them; a local preset its server with the
/// model picked for it; custom needs an address and a model; a cloud preset its own address and
/// its chosen or default model. Local servers never get a key.
std::optional<ResolvedConfig> resolveProvider(const ProviderChoice& choice);

}  // namespace zorbel
