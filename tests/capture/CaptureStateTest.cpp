#include <gtest/gtest.h>

#include "capture/ProcessingStatusPresentation.h"

using zorbel::CaptureState;
using zorbel::ProcessingStage;
using zorbel::ProcessingStatusPresentation;
using zorbel::ProtectedCapability;
using zorbel::UserFacingFailure;
using Action = ProcessingStatusPresentation::Action;
using F = UserFacingFailure::Kind;

namespace {

struct Row {
    CaptureState state;
    const char* title;
    const char* detail;  // nullptr: no detail line
    Action action;
};

CaptureState failure(F kind) {
    return CaptureState::failure(UserFacingFailure::of(kind));
}

}  // namespace

TEST(ProcessingStatusPresentation, EveryStateShowsItsTextsAndAction) {
    const Row rows[] = {
        {CaptureState::idle(), "Zorbel", nullptr, Action::dismiss},
        {CaptureState::dropTarget(), "松开以读取", nullptr, Action::cancel},
        {CaptureState::recording(), "正在录音", "松开结束", Action::cancel},
        {CaptureState::processing(ProcessingStage::extracting), "读取内容…", nullptr,
         Action::cancel},
        {CaptureState::processing(ProcessingStage::transcribing), "识别语音…", nullptr,
         Action::cancel},
        {CaptureState::processing(ProcessingStage::understanding), "理解日程…", nullptr,
         Action::cancel},
        {CaptureState::processing(ProcessingStage::preparingConfirmation), "准备确认…", nullptr,
         Action::cancel},
        {CaptureState::confirmation(), "确认日程", nullptr, Action::dismiss},
        {CaptureState::success({QStringLiteral("工作"), 3}), "已添加到「工作」", "3 个日程",
         Action::dismiss},
        {CaptureState::success({QString(), 0}), "已添加到「」", "0 个日程", Action::dismiss},
        {CaptureState::success({QStringLiteral("Team"), 12345}), "已添加到「Team」", "12345 个日程",
         Action::dismiss},
        {CaptureState::failure(UserFacingFailure::permissionDenied(ProtectedCapability::calendar)),
         "需要系统权限", "请在系统设置中允许后重试", Action::openSettings},
        {CaptureState::failure(UserFacingFailure::unsupportedFile(QStringLiteral("xlsx"))),
         "暂不支持 .xlsx 文件", "支持 PDF、Word 和文本文件", Action::dismiss},
        {CaptureState::failure(UserFacingFailure::unsupportedFile(QString())), "暂不支持 . 文件",
         "支持 PDF、Word 和文本文件", Action::dismiss},
        {failure(F::emptyCapture), "没有识别到内容", "请重试并说得更清楚", Action::retry},
        {failure(F::recordingUnavailable), "无法开始录音", "请检查当前输入设备",
         Action::openSettings},
        {failure(F::fileReadFailed), "无法读取文件", "可换一个文件或重试", Action::retry},
        {failure(F::ocrFailed), "无法读取文件", "可换一个文件或重试", Action::retry},
        {failure(F::cloudTransmissionDeclined), "已取消云端处理", nullptr, Action::dismiss},
        {failure(F::providerUnavailable), "模型服务不可用", "检查模型服务或更换提供方",
         Action::openSettings},
        {failure(F::network), "网络连接失败", "检查网络后重试", Action::retry},
        {failure(F::invalidModelResponse), "没有生成可用日程", "可重试或换一个模型", Action::retry},
        {failure(F::calendarWrite), "未能添加到日历", "检查日历权限后重试", Action::retry},
    };
    for (const Row& row : rows) {
        const ProcessingStatusPresentation p = ProcessingStatusPresentation::make(row.state);
        SCOPED_TRACE(row.title);
        EXPECT_EQ(p.title, QString::fromUtf8(row.title));
        if (row.detail) {
            EXPECT_EQ(p.detail, QString::fromUtf8(row.detail));
        } else {
            EXPECT_FALSE(p.detail.has_value());
        }
        EXPECT_EQ(p.primaryAction, row.action);
    }
    // The ellipsis is the single character U+2026, not three full stops.
    EXPECT_EQ(
        ProcessingStatusPresentation::make(CaptureState::processing(ProcessingStage::extracting))
            .title.right(1),
        QString(QChar(0x2026)));
}

TEST(CaptureState, EqualityIsStructural) {
    const auto mic =
        CaptureState::failure(UserFacingFailure::permissionDenied(ProtectedCapability::microphone));
    const auto calendar =
        CaptureState::failure(UserFacingFailure::permissionDenied(ProtectedCapability::calendar));
    EXPECT_EQ(mic, mic);
    EXPECT_NE(mic, calendar);
    EXPECT_EQ(ProcessingStatusPresentation::make(mic),
              ProcessingStatusPresentation::make(calendar));
    EXPECT_NE(CaptureState::processing(ProcessingStage::extracting),
              CaptureState::processing(ProcessingStage::understanding));
    EXPECT_NE(CaptureState::failure(UserFacingFailure::unsupportedFile(QStringLiteral("a"))),
              CaptureState::failure(UserFacingFailure::unsupportedFile(QStringLiteral("b"))));
    EXPECT_NE(CaptureState::success({QStringLiteral("A"), 1}),
              CaptureState::success({QStringLiteral("A"), 2}));
    EXPECT_EQ(CaptureState::success({QStringLiteral("A"), 1}),
              CaptureState::success({QStringLiteral("A"), 1}));
    EXPECT_NE(CaptureState::idle(), CaptureState::processing(ProcessingStage::extracting));
    EXPECT_NE(CaptureState::idle(), CaptureState::failure(UserFacingFailure::of(F::emptyCapture)));
    EXPECT_NE(failure(F::fileReadFailed), failure(F::ocrFailed));
}

TEST(UserFacingFailure, LogCodesNameTheCaseAndItsValue) {
    EXPECT_EQ(UserFacingFailure::of(F::emptyCapture).logCode(), QStringLiteral("emptyCapture"));
    EXPECT_EQ(UserFacingFailure::of(F::cloudTransmissionDeclined).logCode(),
              QStringLiteral("cloudTransmissionDeclined"));
    EXPECT_EQ(UserFacingFailure::unsupportedFile(QStringLiteral("xlsx")).logCode(),
              QStringLiteral("unsupportedFile(\"xlsx\")"));
    EXPECT_EQ(UserFacingFailure::permissionDenied(ProtectedCapability::microphone).logCode(),
              QStringLiteral("permissionDenied(Zorbel.ProtectedCapability.microphone)"));
    EXPECT_EQ(UserFacingFailure::permissionDenied(ProtectedCapability::speechRecognition).logCode(),
              QStringLiteral("permissionDenied(Zorbel.ProtectedCapability.speechRecognition)"));
}
