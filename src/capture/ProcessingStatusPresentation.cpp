#include "capture/ProcessingStatusPresentation.h"

#include <QCoreApplication>

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

using Action = ProcessingStatusPresentation::Action;

/// The translation context of the ball's status texts.
struct StatusText {
    Q_DECLARE_TR_FUNCTIONS(StatusText)
};

ProcessingStatusPresentation present(const QString& title, Action action) {
    return {title, std::nullopt, action};
}

ProcessingStatusPresentation present(const QString& title, const QString& detail, Action action) {
    return {title, detail, action};
}

ProcessingStatusPresentation presentFailure(const UserFacingFailure& failure) {
    using K = UserFacingFailure::Kind;
    switch (failure.kind()) {
        case K::permissionDenied:
            return present(StatusText::tr("需要系统权限"),
                           StatusText::tr("请在系统设置中允许后重试"), Action::openSettings);
        case K::unsupportedFile:
            return present(StatusText::tr("暂不支持 .%1 文件").arg(failure.extension()),
                           StatusText::tr("支持 PDF、Word 和文本文件"), Action::dismiss);
        case K::emptyCapture:
            return present(StatusText::tr("没有识别到内容"), StatusText::tr("请重试并说得更清楚"),
                           Action::retry);
        case K::recordingUnavailable:
            return present(StatusText::tr("无法开始录音"), StatusText::tr("请检查当前输入设备"),
                           Action::openSettings);
        case K::fileReadFailed:
        case K::ocrFailed:
            return present(StatusText::tr("无法读取文件"), StatusText::tr("可换一个文件或重试"),
                           Action::retry);
        case K::cloudTransmissionDeclined:
            return present(StatusText::tr("已取消云端处理"), Action::dismiss);
        case K::providerUnavailable:
            return present(StatusText::tr("模型服务不可用"),
                           StatusText::tr("检查模型服务或更换提供方"), Action::openSettings);
        case K::network:
            return present(StatusText::tr("网络连接失败"), StatusText::tr("检查网络后重试"),
                           Action::retry);
        case K::invalidModelResponse:
            return present(StatusText::tr("没有生成可用日程"), StatusText::tr("可重试或换一个模型"),
                           Action::retry);
        case K::calendarWrite:
            return present(StatusText::tr("未能添加到日历"), StatusText::tr("检查日历权限后重试"),
                           Action::retry);
    }
    return present(u"Zorbel"_s, Action::dismiss);
}

ProcessingStatusPresentation presentStage(ProcessingStage stage) {
    switch (stage) {
        case ProcessingStage::extracting:
            return present(StatusText::tr("读取内容…"), Action::cancel);
        case ProcessingStage::transcribing:
            return present(StatusText::tr("识别语音…"), Action::cancel);
        case ProcessingStage::understanding:
            return present(StatusText::tr("理解日程…"), Action::cancel);
        case ProcessingStage::preparingConfirmation:
            return present(StatusText::tr("准备确认…"), Action::cancel);
    }
    return present(StatusText::tr("读取内容…"), Action::cancel);
}

}  // namespace

ProcessingStatusPresentation ProcessingStatusPresentation::make(const CaptureState& state) {
    switch (state.kind()) {
        case CaptureState::Kind::idle:
            return present(u"Zorbel"_s, Action::dismiss);
        case CaptureState::Kind::dropTarget:
            return present(StatusText::tr("松开以读取"), Action::cancel);
        case CaptureState::Kind::recording:
            return present(StatusText::tr("正在录音"), StatusText::tr("松开结束"), Action::cancel);
        case CaptureState::Kind::processing:
            if (const auto& pages = state.pages(); pages && pages->total > 0) {
                const int page = std::min(pages->done + 1, pages->total);
                return present(StatusText::tr("正在识别第 %1/%2 页").arg(page).arg(pages->total),
                               Action::cancel);
            }
            return presentStage(state.stage());
        case CaptureState::Kind::confirmation:
            return present(StatusText::tr("确认日程"), Action::dismiss);
        case CaptureState::Kind::success:
            if (state.summary().undone) {
                const WriteReceiptSummary& undo = state.summary();
                QString detail = StatusText::tr("已恢复 %n 个日程", nullptr, undo.eventCount);
                if (undo.leftCount > 0) {
                    detail += StatusText::tr("，%n 个在别处改过或未能连接，未动", nullptr,
                                             undo.leftCount);
                }
                return present(StatusText::tr("已撤销上次写入"), detail, Action::dismiss);
            }
            return present(StatusText::tr("已添加到「%1」").arg(state.summary().calendarTitle),
                           StatusText::tr("%n 个日程", nullptr, state.summary().eventCount),
                           Action::dismiss);
        case CaptureState::Kind::failure:
            return presentFailure(state.failure());
    }
    return present(u"Zorbel"_s, Action::dismiss);
}

QString ProcessingStatusPresentation::buttonTitle(Action action) {
    switch (action) {
        case Action::cancel:
            return StatusText::tr("取消");
        case Action::retry:
            return StatusText::tr("重试");
        case Action::openSettings:
            return StatusText::tr("去设置");
        case Action::dismiss:
            return StatusText::tr("知道了");
    }
    return StatusText::tr("知道了");
}

}  // namespace zorbel
