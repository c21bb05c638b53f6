// The provider table and the pure questions about presets and models.

#include "llm/LLMPreset.h"

#include <QCoreApplication>

#include "llm/LLMClient.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

/// The translation context of the providers' display names.
struct PresetText {
    Q_DECLARE_TR_FUNCTIONS(PresetText)
};

}  // namespace

bool LLMPreset::isLocal() const {
    return !needsKey && id != u"auto" && id != u"custom";
}

QString consentReceiverName(const QString& providerID) {
    if (providerID == u"speech") return PresetText::tr("语音转写服务");
    return LLMClient::preset(providerID).displayName;
}

const QList<LLMPreset>& LLMClient::presets() {
    static const QList<LLMPreset> table = {
        {u"auto"_s, PresetText::tr("自动检测（推荐）"), std::nullopt, false, std::nullopt},
        {u"ollama"_s, PresetText::tr("Ollama 本地"), LLMClientOptions().ollamaBaseURL, false,
         QString::fromLatin1(defaultModel)},
        {u"lmstudio"_s, PresetText::tr("LM Studio 本地"), LLMClientOptions().lmstudioBaseURL, false,
         std::nullopt},
        {u"builtin"_s, PresetText::tr("内置规则（离线）"), std::nullopt, false, std::nullopt},
        {u"deepseek"_s, u"DeepSeek"_s, u"https://api.deepseek.com/v1"_s, true, u"deepseek-chat"_s},
        {u"kimi"_s, u"Kimi"_s, u"https://api.moonshot.cn/v1"_s, true, u"moonshot-v1-8k"_s},
        {u"qwen"_s, PresetText::tr("通义千问"),
         u"https://dashscope.aliyuncs.com/compatible-mode/v1"_s, true, u"qwen-plus"_s},
        {u"openai"_s, u"OpenAI"_s, u"https://api.openai.com/v1"_s, true, u"gpt-4o-mini"_s},
        {u"custom"_s, PresetText::tr("自定义"), std::nullopt, true, std::nullopt},
    };
    return table;
}

const LLMPreset& LLMClient::preset(const QString& id) {
    for (const LLMPreset& candidate : presets()) {
        if (candidate.id == id) return candidate;
    }
    return presets().front();
}

bool LLMClient::isVisionModel(const QString& model) {
    static const char* const markers[] = {"vl",     "vision",    "4o",        "llava",
                                          "gemma3", "minicpm-v", "moondream", "pixtral"};
    const QString lower = model.toLower();
    for (const char* marker : markers) {
        if (lower.contains(QLatin1String(marker))) return true;
    }
    return false;
}

}  // namespace zorbel
