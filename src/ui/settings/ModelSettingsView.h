#pragma once

#include <QString>
#include <QStringList>

#include "llm/LLMPreset.h"

namespace zorbel {

/// What the model part of the settings window is shown from.
struct ModelSettingsState {
    LLMPreset preset;
    QStringList ollamaModels;    ///< found by the last look at the local servers
    QStringList lmstudioModels;  ///< found by the last look at the local servers
    QStringList savedModels;     ///< the list last fetched for `preset` from its server
    bool ollamaReachable = false;
    bool keyEmpty = true;  ///< no API key is entered for `preset`
};

/// The model part of the settings window for one state: which models are offered, which
/// controls show and what the status line says.
struct ModelSettingsView {
    QStringList modelChoices;
    bool showsModel = true;  ///< the built-in rules have no model to choose
    bool showsFetch = false;
    bool showsPull = false;
    QString status;
};

ModelSettingsView modelSettingsView(const ModelSettingsState& state);

}  // namespace zorbel
