#pragma once

// Drives one capture at a time (held speech, a dropped file, pasted text) from its start to the
// moment the extracted events are handed over for confirmation, and reports every state it enters.
//
// Thread safety: confined to the GUI thread. Every operation body is a coroutine that runs there
// between suspensions; there are no locks.
//
// Operation numbers: every capture, voice retry and cancel takes a new number and a fresh
// cancellation token, and cancels the previous token. After each suspension a body checks that its
// number is still the current one and its token is not cancelled; a stale body ends silently,
// without touching the state, so the newest capture (or a cancel) always wins over late results.
//
// Errors never leave the coordinator: every failed step becomes one `failure` state, logged as
// `failure(code:)`; a task cancellation reported by a service returns to `idle`.

#include <qcoro/qcorotask.h>
#include <QList>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "core/CaptureServices.h"
#include "core/CaptureState.h"
#include "core/ExtractedEvent.h"
#include "support/AppLogEvent.h"
#include "support/CancellationToken.h"

namespace zorbel {

class CaptureCoordinator {
public:
    /// The coordinator keeps the five services for its whole life; ownership is shared so that
    /// the process-wide model client can be one of them, and so that a service call still in
    /// flight keeps its service alive.
    CaptureCoordinator(std::shared_ptr<SpeechCapturing> speech,
                       std::shared_ptr<FileExtracting> files,
                       std::shared_ptr<EventExtracting> events,
                       std::shared_ptr<PermissionRequesting> permissions,
                       std::shared_ptr<CloudTransmissionAuthorizing> cloudGate);
    /// Makes every operation in flight stale; their late results are dropped.
    ~CaptureCoordinator();
    CaptureCoordinator(const CaptureCoordinator&) = delete;
    CaptureCoordinator& operator=(const CaptureCoordinator&) = delete;

    /// Starts a voice operation: the microphone permission, then recording; completes once
    /// recording runs (or the operation failed or was replaced).
    QCoro::Task<> startVoiceCapture();
    /// Stops recording, transcribes and extracts; completes when that operation has finished.
    QCoro::Task<> finishVoiceCapture();
    /// Processes a dropped file; completes when the operation it started has finished.
    QCoro::Task<> handleFile(QString filePath);
    /// Processes pasted text; completes when the operation it started has finished.
    QCoro::Task<> handleText(QString text);
    /// Abandons everything in flight and returns to `idle`.
    void cancel();
    /// Repeats the last file or voice capture; does nothing when there is none.
    void retry();

    /// The current state; `idle` at first.
    const CaptureState& state() const { return m_state; }

    /// Told every state the coordinator enters, right after it is assigned (and logged).
    std::function<void(CaptureState)> onStateChange;
    /// Told the extracted events (never an empty list) before `confirmation` is entered.
    std::function<void(QList<ExtractedEvent>)> onEventsReady;

    /// The failure the user sees for a failed step: the model's answer or status for LLMError,
    /// `network` for a network error other than our own abort, otherwise `fallback`.
    static UserFacingFailure userFacingFailure(const std::exception& error,
                                               UserFacingFailure fallback);

private:
    /// What `retry()` repeats.
    struct RetryCommand {
        enum class Kind { file, voice };
        Kind kind;
        QString filePath;  ///< the file of `file`
    };

    /// The identity of one running operation, as its body holds it. `current` points at the
    /// coordinator's operation number and expires with the coordinator.
    struct Operation {
        qint64 id;
        CancellationToken token;
        std::weak_ptr<const qint64> current;
    };

    static bool isCurrent(const Operation& operation);

    Operation beginOperation();
    /// Runs an operation's body to its end; a failed step becomes a failure, `fallback` when
    /// nothing more specific applies.
    QCoro::Task<> run(Operation operation, QCoro::Task<> body, UserFacingFailure::Kind fallback);
    void handleFailure(const std::exception_ptr& error, const UserFacingFailure& fallback);

    QCoro::Task<> startRecording(Operation operation);
    QCoro::Task<> transcribe(Operation operation);
    QCoro::Task<> readFile(QString filePath, bool isImage, Operation operation);
    QCoro::Task<> understand(QString text, QString source, CaptureKind kind, Operation operation);
    QCoro::Task<> askModel(std::variant<QString, PreparedImage> content, QString source,
                           CaptureKind kind, Operation operation);
    QCoro::Task<bool> authorizeCloudIfNeeded(CaptureKind kind, Operation operation);
    /// Hands non-empty events on; only for a current operation.
    void finishUnderstanding(const QList<ExtractedEvent>& events, const Operation& operation);

    void enter(CaptureState state, const std::optional<AppLogEvent>& event = std::nullopt);
    void enterStage(ProcessingStage stage);
    void report(const UserFacingFailure& failure);

    const std::shared_ptr<SpeechCapturing> m_speech;
    const std::shared_ptr<FileExtracting> m_files;
    const std::shared_ptr<EventExtracting> m_events;
    const std::shared_ptr<PermissionRequesting> m_permissions;
    const std::shared_ptr<CloudTransmissionAuthorizing> m_cloudGate;
    /// The token of the current operation's task while it runs.
    std::optional<CancellationToken> m_activeTask;
    /// Shared only so that running bodies can watch it weakly.
    std::shared_ptr<qint64> m_operationID = std::make_shared<qint64>(0);
    std::optional<RetryCommand> m_retryCommand;
    CaptureState m_state = CaptureState::idle();
};

}  // namespace zorbel
