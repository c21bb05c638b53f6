#include "capture/ProcessingStatusPresentation.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

using Action = ProcessingStatusPresentation::Action;

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
            return present(u"需要系统权限"_s, u"请在系统设置中允许后重试"_s, Action::openSettings);
        case K::unsupportedFile:
            return present(u"暂不支持 ."_s + failure.extension() + u" 文件"_s,
                           u"支持 PDF、Word 和文本文件"_s, Action::dismiss);
        case K::emptyCapture:
            return present(u"没有识别到内容"_s, u"请重试并说得更清楚"_s, Action::retry);
        case K::recordingUnavailable:
            return present(u"无法开始录音"_s, u"请检查当前输入设备"_s, Action::openSettings);
        case K::fileReadFailed:
        case K::ocrFailed:
            return present(u"无法读取文件"_s, u"可换一个文件或重试"_s, Action::retry);
        case K::cloudTransmissionDeclined:
            return present(u"已取消云端处理"_s, Action::dismiss);
        case K::providerUnavailable:
            return present(u"模型服务不可用"_s, u"检查模型服务或更换提供方"_s,
                           Action::openSettings);
        case K::network:
            return present(u"网络连接失败"_s, u"检查网络后重试"_s, Action::retry);
        case K::invalidModelResponse:
            return present(u"没有生成可用日程"_s, u"可重试或换一个模型"_s, Action::retry);
        case K::calendarWrite:
            return present(u"未能添加到日历"_s, u"检查日历权限后重试"_s, Action::retry);
    }
    return present(u"Zorbel"_s, Action::dismiss);
}

ProcessingStatusPresentation presentStage(ProcessingStage stage) {
    switch (stage) {
        case ProcessingStage::extracting:
            return present(u"读取内容…"_s, Action::cancel);
        case ProcessingStage::transcribing:
            return present(u"识别语音…"_s, Action::cancel);
        case ProcessingStage::understanding:
            return present(u"理解日程…"_s, Action::cancel);
        case ProcessingStage::preparingConfirmation:
            return present(u"准备确认…"_s, Action::cancel);
    }
    return present(u"读取内容…"_s, Action::cancel);
}

}  // namespace

ProcessingStatusPresentation ProcessingStatusPresentation::make(const CaptureState& state) {
    switch (state.kind()) {
        case CaptureState::Kind::idle:
            return present(u"Zorbel"_s, Action::dismiss);
        case CaptureState::Kind::dropTarget:
            return present(u"松开以读取"_s, Action::cancel);
        case CaptureState::Kind::recording:
            return present(u"正在录音"_s, u"松开结束"_s, Action::cancel);
        case CaptureState::Kind::processing:
            if (const auto& pages = state.pages(); pages && pages->total > 0) {
                const int page = std::min(pages->done + 1, pages->total);
                return present(u"正在识别第 %1/%2 页"_s.arg(page).arg(pages->total),
                               Action::cancel);
            }
            return presentStage(state.stage());
        case CaptureState::Kind::confirmation:
            return present(u"确认日程"_s, Action::dismiss);
        case CaptureState::Kind::success:
            if (state.summary().undone) {
                const WriteReceiptSummary& undo = state.summary();
                QString detail = u"已恢复 "_s + QString::number(undo.eventCount) + u" 个日程"_s;
                if (undo.leftCount > 0) {
                    detail += u"，"_s + QString::number(undo.leftCount) +
                              u" 个在别处改过或未能连接，未动"_s;
                }
                return present(u"已撤销上次写入"_s, detail, Action::dismiss);
            }
            return present(u"已添加到「"_s + state.summary().calendarTitle + u"」"_s,
                           QString::number(state.summary().eventCount) + u" 个日程"_s,
                           Action::dismiss);
        case CaptureState::Kind::failure:
            return presentFailure(state.failure());
    }
    return present(u"Zorbel"_s, Action::dismiss);
}

QString ProcessingStatusPresentation::buttonTitle(Action action) {
    switch (action) {
        case Action::cancel:
            return u"取消"_s;
        case Action::retry:
            return u"重试"_s;
        case Action::openSettings:
            return u"去设置"_s;
        case Action::dismiss:
            return u"知道了"_s;
    }
    return u"知道了"_s;
}

}  // namespace zorbel
