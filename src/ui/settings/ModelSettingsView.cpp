#include "ui/settings/ModelSettingsView.h"

#include "llm/LLMClient.h"

namespace zorbel {

namespace {

QString statusText(const ModelSettingsState& state) {
    const LLMPreset& preset = state.preset;
    if (preset.isBuiltin())
        return QStringLiteral("内置规则在本机读取日期和时间，无需模型，也不联网");
    if (!preset.isLocal() && preset.id != u"auto") {
        if (preset.needsKey && state.keyEmpty) {
            return QStringLiteral("请填写 API Key 后可点\"从服务端拉取\"获取模型列表");
        }
        return QStringLiteral("Base URL：") + preset.baseURL.value_or(QStringLiteral("可自定义"));
    }
    QStringList found;
    if (!state.ollamaModels.isEmpty()) {
        found << QStringLiteral("Ollama：") + QString::number(state.ollamaModels.size()) +
                     QStringLiteral(" 个模型");
    }
    if (!state.lmstudioModels.isEmpty()) {
        found << QStringLiteral("LM Studio：") + QString::number(state.lmstudioModels.size()) +
                     QStringLiteral(" 个模型");
    }
    if (!found.isEmpty()) return QStringLiteral("已检测到 ") + found.join(QStringLiteral("；"));
    if (!state.ollamaReachable) {
        return preset.id == u"auto"
                   ? QStringLiteral("未检测到本地模型服务，现用内置规则（离线）；可点重新扫描")
                   : QStringLiteral(
                         "未检测到本地模型服务，可点重新扫描，或选「内置规则（离线）」、云端预设");
    }
    return QStringLiteral("未检测到本地模型，建议点「拉取推荐模型」下载 ") +
           QLatin1String(LLMClient::defaultModel) + QStringLiteral("（约 3GB）");
}

}  // namespace

ModelSettingsView modelSettingsView(const ModelSettingsState& state) {
    const LLMPreset& preset = state.preset;
    ModelSettingsView view;
    if (preset.id == u"ollama") {
        view.modelChoices = state.ollamaModels;
    } else if (preset.id == u"lmstudio") {
        view.modelChoices = state.lmstudioModels;
    } else if (preset.id == u"auto") {
        view.modelChoices =
            state.ollamaModels.isEmpty() ? state.lmstudioModels : state.ollamaModels;
    } else {
        view.modelChoices = state.savedModels;
    }
    view.showsModel = !preset.isBuiltin();
    view.showsFetch = preset.baseURL.has_value() && preset.needsKey;
    view.showsPull =
        state.ollamaReachable && state.ollamaModels.isEmpty() &&
        (preset.id == u"ollama" || (preset.id == u"auto" && state.lmstudioModels.isEmpty()));
    view.status = statusText(state);
    return view;
}

}  // namespace zorbel
