#pragma once

#include <QString>

#include "capture/ProcessingStage.h"
#include "capture/UserFacingFailure.h"

namespace zorbel {

/// What a successful calendar write shows on the ball.
struct WriteReceiptSummary {
    QString calendarTitle;
    qint64 eventCount = 0;
    bool operator==(const WriteReceiptSummary&) const = default;
};

/// What the ball is doing. Equality is structural: same case and equal associated value.
class BallState {
public:
    enum class Kind { idle, dropTarget, recording, processing, confirmation, success, failure };

    static BallState idle() { return BallState(Kind::idle); }
    static BallState dropTarget() { return BallState(Kind::dropTarget); }
    static BallState recording() { return BallState(Kind::recording); }
    static BallState processing(ProcessingStage stage) {
        BallState s(Kind::processing);
        s.m_stage = stage;
        return s;
    }
    static BallState confirmation() { return BallState(Kind::confirmation); }
    static BallState success(WriteReceiptSummary summary) {
        BallState s(Kind::success);
        s.m_summary = std::move(summary);
        return s;
    }
    static BallState failure(UserFacingFailure failure) {
        BallState s(Kind::failure);
        s.m_failure = std::move(failure);
        return s;
    }

    Kind kind() const { return m_kind; }
    /// The stage of `processing`; `extracting` for every other case.
    ProcessingStage stage() const { return m_stage; }
    /// The summary of `success`; empty for every other case.
    const WriteReceiptSummary& summary() const { return m_summary; }
    /// The failure of `failure`; `emptyCapture` for every other case.
    const UserFacingFailure& failure() const { return m_failure; }

    bool operator==(const BallState&) const = default;

private:
    explicit BallState(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    ProcessingStage m_stage = ProcessingStage::extracting;
    WriteReceiptSummary m_summary;
    UserFacingFailure m_failure = UserFacingFailure::of(UserFacingFailure::Kind::emptyCapture);
};

}  // namespace zorbel
