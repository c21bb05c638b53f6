#pragma once

#include <QString>
#include <optional>

#include "core/CaptureState.h"

namespace zorbel {

/// The texts and the one action the status panel shows for a ball state.
struct ProcessingStatusPresentation {
    /// What the panel's single button does.
    enum class Action { cancel, retry, openSettings, dismiss };

    QString title;
    std::optional<QString> detail;  ///< absent: the second line is hidden
    Action primaryAction = Action::dismiss;

    bool operator==(const ProcessingStatusPresentation&) const = default;

    /// The presentation of every state: the one table of user-facing texts.
    static ProcessingStatusPresentation make(const CaptureState& state);

    /// The button title of an action ("取消", "重试", "去设置", "知道了").
    static QString buttonTitle(Action action);
};

}  // namespace zorbel
