#include "ui/settings/ModelSettingsView.h"

#include "llm/LLMClient.h"
#include "ui/settings/SettingsText.h"

namespace zorbel {

namespace {

QString statusText(const ModelSettingsState& state) {
    const LLMPreset& preset = state.preset;
    if (preset.isBuiltin())
        return SettingsText::tr("内置规则在本机读取日期和时间，无需模型，也不联网");
    if (!preset.isLocal() && preset.id != u"auto") {
        if (preset.needsKey && state.keyEmpty) {
            return SettingsText::tr("请填写 API Key 后可点\"从服务端拉取\"获取模型列表");
        }
        return SettingsText::tr("Base URL：%1")
            .arg(preset.baseURL.value_or(SettingsText::tr("可自定义")));
    }
    QStringList found;
    if (!state.ollamaModels.isEmpty()) {
        found << SettingsText::tr("Ollama：%n 个模型", nullptr, int(state.ollamaModels.size()));
    }
    if (!state.lmstudioModels.isEmpty()) {
        found << SettingsText::tr("LM Studio：%n 个模型", nullptr,
                                  int(state.lmstudioModels.size()));
    }
    if (!found.isEmpty())
        return SettingsText::tr("已检测到 %1").arg(found.join(SettingsText::tr("；")));
    if (!state.ollamaReachable) {
        return preset.id == u"auto"
                   ? SettingsText::tr("未检测到本地模型服务，现用内置规则（离线）；可点重新扫描")
                   : SettingsText::tr(
                         "未检测到本地模型服务，可点重新扫描，或选「内置规则（离线）」、云端预设");
    }
    return SettingsText::tr("未检测到本地模型，建议点「拉取推荐模型」下载 %1（约 3GB）")
        .arg(QLatin1String(LLMClient::defaultModel));
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
