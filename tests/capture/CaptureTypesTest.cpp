// The status panel's presentation of each capture state (the panel's own test presses the
// button of a stage, a network failure, a provider failure and a declined upload).

#include <gtest/gtest.h>
#include <QSet>

#include "capture/ProcessingStatusPresentation.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using Action = ProcessingStatusPresentation::Action;
using F = UserFacingFailure::Kind;
using P = ProcessingStatusPresentation;

namespace {

CaptureState failure(const UserFacingFailure& what) {
    return CaptureState::failure(what);
}

CaptureState failure(F kind) {
    return failure(UserFacingFailure::of(kind));
}

}  // namespace

TEST(ProcessingStatusPresentation, TheButtonCancelsWorkAndSendsFixableFailuresToSettings) {
    const std::pair<CaptureState, Action> rows[] = {
        {CaptureState::recording(), Action::cancel},
        {failure(UserFacingFailure::permissionDenied(ProtectedCapability::calendar)),
         Action::openSettings},
        {failure(F::recordingUnavailable), Action::openSettings},
        {failure(F::emptyCapture), Action::retry},
        {failure(F::calendarWrite), Action::retry},
        {failure(UserFacingFailure::unsupportedFile(u"xlsx"_s)), Action::dismiss},
        {CaptureState::confirmation(), Action::dismiss},
    };
    QSet<QString> buttons;
    for (const auto& [state, action] : rows) {
        SCOPED_TRACE(P::make(state).title.toStdString());
        EXPECT_EQ(P::make(state).primaryAction, action);
        buttons.insert(P::buttonTitle(action));
    }
    EXPECT_EQ(buttons.size(), 4);  // each action has a title of its own
}

TEST(ProcessingStatusPresentation, TextsNameWhatTheStateCarriesAndEveryStageIsItsOwn) {
    const P written = P::make(CaptureState::success({u"Team"_s, 12345}));
    EXPECT_TRUE(written.title.contains(u"「Team」"_s));
    EXPECT_TRUE(written.detail.value_or(QString()).contains(u"12345"_s));
    EXPECT_TRUE(
        P::make(failure(UserFacingFailure::unsupportedFile(u"xlsx"_s))).title.contains(u".xlsx"_s));
    QSet<QString> titles;
    for (const ProcessingStage stage :
         {ProcessingStage::extracting, ProcessingStage::transcribing,
          ProcessingStage::understanding, ProcessingStage::preparingConfirmation}) {
        titles.insert(P::make(CaptureState::processing(stage)).title);
    }
    EXPECT_EQ(titles.size(), 4);
}
