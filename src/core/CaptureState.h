#pragma once

#include <QString>
#include <optional>

#include "core/ProcessingStage.h"
#include "core/UserFacingFailure.h"

namespace zorbel {

/// What a successful calendar write shows on the ball.
struct WriteReceiptSummary {
    QString calendarTitle;
    qint64 eventCount = 0;  ///< written, or put back by an undo
    bool undone = false;    ///< the last write was taken back
    qint64 leftCount = 0;   ///< undo: events left alone, edited elsewhere since or out of reach
    bool operator==(const WriteReceiptSummary&) const = default;
};

/// How far the reading of a scanned document has come.
struct PagesRecognized {
    int done = 0;   ///< pages recognised
    int total = 0;  ///< pages to recognise
    bool operator==(const PagesRecognized&) const = default;
};

/// What the ball is doing. Equality is structural: same case and equal associated value.
class CaptureState {
public:
    enum class Kind { idle, dropTarget, recording, processing, confirmation, success, failure };

    static CaptureState idle() { return CaptureState(Kind::idle); }
    static CaptureState dropTarget() { return CaptureState(Kind::dropTarget); }
    static CaptureState recording() { return CaptureState(Kind::recording); }
    static CaptureState processing(ProcessingStage stage,
                                   std::optional<PagesRecognized> pages = std::nullopt) {
        CaptureState s(Kind::processing);
        s.m_stage = stage;
        s.m_pages = pages;
        return s;
    }
    static CaptureState confirmation() { return CaptureState(Kind::confirmation); }
    static CaptureState success(WriteReceiptSummary summary) {
        CaptureState s(Kind::success);
        s.m_summary = std::move(summary);
        return s;
    }
    static CaptureState failure(UserFacingFailure failure) {
        CaptureState s(Kind::failure);
        s.m_failure = std::move(failure);
        return s;
    }

    Kind kind() const { return m_kind; }
    /// The stage of `processing`; `extracting` for every other case.
    ProcessingStage stage() const { return m_stage; }
    /// The pages of `processing(extracting)` while a scanned document is recognised.
    const std::optional<PagesRecognized>& pages() const { return m_pages; }
    /// The summary of `success`; empty for every other case.
    const WriteReceiptSummary& summary() const { return m_summary; }
    /// The failure of `failure`; `emptyCapture` for every other case.
    const UserFacingFailure& failure() const { return m_failure; }

    bool operator==(const CaptureState&) const = default;

private:
    explicit CaptureState(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    ProcessingStage m_stage = ProcessingStage::extracting;
    std::optional<PagesRecognized> m_pages;
    WriteReceiptSummary m_summary;
    UserFacingFailure m_failure = UserFacingFailure::of(UserFacingFailure::Kind::emptyCapture);
};

}  // namespace zorbel
