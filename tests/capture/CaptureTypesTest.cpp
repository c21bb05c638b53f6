// The status panel's presentation of each capture state.

#include <gtest/gtest.h>
#include <QSet>

#include "capture/ProcessingStatusPresentation.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using Action = ProcessingStatusPresentation::Action;
using F = UserFacingFailure::Kind;

namespace {

CaptureState failure(F kind) {
    return CaptureState::failure(UserFacingFailure::of(kind));
}

CaptureState denied(ProtectedCapability capability) {
    return CaptureState::failure(UserFacingFailure::permissionDenied(capability));
}

CaptureState unsupported(const QString& extension) {
    return CaptureState::failure(UserFacingFailure::unsupportedFile(extension));
}

}  // namespace

TEST(ProcessingStatusPresentation, TheButtonCancelsWorkAndSendsFixableFailuresToSettings) {
    const std::pair<CaptureState, Action> rows[] = {
        {CaptureState::recording(), Action::cancel},
        {CaptureState::processing(ProcessingStage::transcribing), Action::cancel},
        {denied(ProtectedCapability::calendar), Action::openSettings},
        {failure(F::recordingUnavailable), Action::openSettings},
        {failure(F::providerUnavailable), Action::openSettings},
        {failure(F::emptyCapture), Action::retry},
        {failure(F::network), Action::retry},
        {failure(F::calendarWrite), Action::retry},
        {failure(F::cloudTransmissionDeclined), Action::dismiss},
        {unsupported(u"xlsx"_s), Action::dismiss},
        {CaptureState::confirmation(), Action::dismiss},
    };
    QSet<QString> buttons;
    for (const auto& [state, action] : rows) {
        SCOPED_TRACE(ProcessingStatusPresentation::make(state).title.toStdString());
        EXPECT_EQ(ProcessingStatusPresentation::make(state).primaryAction, action);
        buttons.insert(ProcessingStatusPresentation::buttonTitle(action));
    }
    EXPECT_EQ(buttons.size(), 4);  // each action has a title of its own
}

TEST(ProcessingStatusPresentation, TextsNameWhatTheStateCarriesAndEveryStageIsItsOwn) {
    const auto written =
        ProcessingStatusPresentation::make(CaptureState::success({u"Team"_s, 12345}));
    EXPECT_TRUE(written.title.contains(u"「Team」"_s));
    EXPECT_TRUE(written.detail.value_or(QString()).contains(u"12345"_s));
    EXPECT_TRUE(
        ProcessingStatusPresentation::make(unsupported(u"xlsx"_s)).title.contains(u".xlsx"_s));
    QSet<QString> titles;
    for (const ProcessingStage stage :
         {ProcessingStage::extracting, ProcessingStage::transcribing,
          ProcessingStage::understanding, ProcessingStage::preparingConfirmation}) {
        titles.insert(ProcessingStatusPresentation::make(CaptureState::processing(stage)).title);
    }
    EXPECT_EQ(titles.size(), 4);
    // A permission is named only in the log, not on the panel.
    EXPECT_EQ(ProcessingStatusPresentation::make(denied(ProtectedCapability::microphone)),
              ProcessingStatusPresentation::make(denied(ProtectedCapability::calendar)));
}
