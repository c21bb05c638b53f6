#include "llm/ProviderResolution.h"

#include "support/Text.h"

namespace zorbel {

namespace {

QString trimmed(const QString& text) {
    return trimSpacesAndTabs(text).toString();
}

/// The model picked for a local preset itself comes first, so the choice made in the settings
/// is the one the request uses; then the selected model, then `fallback`.
QString localModel(const ProviderChoice& choice, const QString& fallback) {
    if (choice.preset.isLocal() && !choice.presetModel.isEmpty()) return choice.presetModel;
    return choice.selectedModel.isEmpty() ? fallback : choice.selectedModel;
}

}  // namespace

std::optional<ResolvedConfig> resolveProvider(const ProviderChoice& choice) {
    const QString& id = choice.preset.id;
    const QString firstLMStudioModel = choice.lmstudioModels.value(0);
    if (id == u"auto") {
        if (!choice.ollamaModels.isEmpty()) {
            return ResolvedConfig{
                choice.ollamaBaseURL, {}, localModel(choice, choice.ollamaDefaultModel)};
        }
        if (choice.lmstudioModels.isEmpty()) return std::nullopt;
        return ResolvedConfig{choice.lmstudioBaseURL, {}, localModel(choice, firstLMStudioModel)};
    }
    if (id == u"ollama") {
        return ResolvedConfig{
            choice.ollamaBaseURL, {}, localModel(choice, choice.ollamaDefaultModel)};
    }
    if (id == u"lmstudio") {
        const QString chosen = localModel(choice, firstLMStudioModel);
        if (chosen.isEmpty()) return std::nullopt;
        return ResolvedConfig{choice.lmstudioBaseURL, {}, chosen};
    }
    if (id == u"custom") {
        const QString baseURL = trimmed(choice.customBaseURL);
        const QString chosen = trimmed(choice.selectedModel);
        if (baseURL.isEmpty() || chosen.isEmpty()) return std::nullopt;
        return ResolvedConfig{baseURL, choice.key, chosen};
    }
    QString chosen = trimmed(choice.presetModel);
    if (chosen.isEmpty()) chosen = choice.preset.defaultModel.value_or(QString());
    if (chosen.isEmpty()) return std::nullopt;
    return ResolvedConfig{choice.preset.baseURL.value_or(QString()), choice.key, chosen};
}

}  // namespace zorbel
