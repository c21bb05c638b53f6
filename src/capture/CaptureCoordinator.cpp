#include "capture/CaptureCoordinator.h"

#include "core/CloudTransmissionDeclinedError.h"

#include "core/FileExtractionError.h"
#include "core/FileTextLimits.h"
#include "core/LLMError.h"
#include "support/AppLogger.h"
#include "support/Errors.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;
using FailureKind = UserFacingFailure::Kind;

CaptureCoordinator::CaptureCoordinator(std::shared_ptr<SpeechCapturing> speech,
                                       std::shared_ptr<FileExtracting> files,
                                       std::shared_ptr<EventExtracting> events,
                                       std::shared_ptr<PermissionRequesting> permissions,
                                       std::shared_ptr<CloudTransmissionAuthorizing> cloudGate)
    : m_speech(std::move(speech)),
      m_files(std::move(files)),
      m_events(std::move(events)),
      m_permissions(std::move(permissions)),
      m_cloudGate(std::move(cloudGate)) {}

CaptureCoordinator::~CaptureCoordinator() {
    if (m_activeTask) m_activeTask->cancel();
}

// --- Operations ---------------------------------------------------------------------------

QCoro::Task<> CaptureCoordinator::startVoiceCapture() {
    m_retryCommand = RetryCommand{RetryCommand::Kind::voice, {}};
    const Operation operation = beginOperation();
    co_await run(operation, startRecording(operation), FailureKind::emptyCapture);
}

QCoro::Task<> CaptureCoordinator::finishVoiceCapture() {
    const Operation operation = beginOperation();
    co_await run(operation, transcribe(operation), FailureKind::emptyCapture);
}

QCoro::Task<> CaptureCoordinator::handleFile(QString filePath) {
    m_retryCommand = RetryCommand{RetryCommand::Kind::file, filePath};
    const bool isImage = FileTextExtractor::isImageFile(filePath);
    const Operation operation = beginOperation();
    co_await run(operation, readFile(filePath, isImage, operation),
                 FailureKind::invalidModelResponse);
}

QCoro::Task<> CaptureCoordinator::handleText(QString text) {
    m_retryCommand.reset();  // a paste cannot be repeated
    const Operation operation = beginOperation();
    co_await run(operation,
                 understand(FileTextExtractor::truncateToLimit(text), u"粘贴文本"_s,
                            CaptureKind::paste, operation),
                 FailureKind::invalidModelResponse);
}

void CaptureCoordinator::cancel() {
    ++*m_operationID;
    if (m_activeTask) m_activeTask->cancel();
    m_activeTask.reset();
    m_speech->cancel();
    m_retryCommand.reset();
    enter(CaptureState::idle());
}

void CaptureCoordinator::retry() {
    if (!m_retryCommand) return;
    if (m_retryCommand->kind == RetryCommand::Kind::voice) {
        startVoiceCapture();  // a new recording: the user speaks again
        return;
    }
    const QString filePath = m_retryCommand->filePath;
    m_retryCommand.reset();
    handleFile(filePath);  // sets the retry command again; nobody waits for it
}

// --- Running an operation -----------------------------------------------------------------

bool CaptureCoordinator::isCurrent(const Operation& operation) {
    const std::shared_ptr<const qint64> current = operation.current.lock();
    return current && *current == operation.id && !operation.token.isCancelled();
}

CaptureCoordinator::Operation CaptureCoordinator::beginOperation() {
    const qint64 id = ++*m_operationID;
    if (m_activeTask) m_activeTask->cancel();
    m_activeTask = CancellationToken();
    return Operation{id, *m_activeTask, m_operationID};
}

QCoro::Task<> CaptureCoordinator::run(Operation operation, QCoro::Task<> body,
                                      UserFacingFailure::Kind fallback) {
    std::exception_ptr error;
    try {
        co_await std::move(body);
    } catch (...) {
        error = std::current_exception();
    }
    if (error && isCurrent(operation)) handleFailure(error, UserFacingFailure::of(fallback));
    const std::shared_ptr<const qint64> current = operation.current.lock();
    if (current && *current == operation.id) m_activeTask.reset();
}

void CaptureCoordinator::handleFailure(const std::exception_ptr& error,
                                       const UserFacingFailure& fallback) {
    try {
        std::rethrow_exception(error);
    } catch (const CancelledError&) {
        enter(CaptureState::idle());
    } catch (const std::exception& other) {
        report(userFacingFailure(other, fallback));
    } catch (...) {
        report(fallback);
    }
}

UserFacingFailure CaptureCoordinator::userFacingFailure(const std::exception& error,
                                                        UserFacingFailure fallback) {
    if (const auto* llm = dynamic_cast<const LLMError*>(&error)) {
        switch (llm->kind()) {
            case LLMError::Kind::badResponse:
            case LLMError::Kind::badJSON:
                return UserFacingFailure::of(FailureKind::invalidModelResponse);
            case LLMError::Kind::httpStatus:
            case LLMError::Kind::noProvider:
            case LLMError::Kind::insecureURL:
                return UserFacingFailure::of(FailureKind::providerUnavailable);
        }
    }
    // A service that asked for consent itself (the speech upload) and was refused.
    if (dynamic_cast<const CloudTransmissionDeclinedError*>(&error)) {
        return UserFacingFailure::of(FailureKind::cloudTransmissionDeclined);
    }
    if (const auto* network = dynamic_cast<const NetworkError*>(&error)) {
        // Our own abort of a request is not a network failure.
        if (network->code() != NetworkError::Code::cancelled) {
            return UserFacingFailure::of(FailureKind::network);
        }
    }
    return fallback;
}

// --- Operation bodies ---------------------------------------------------------------------

QCoro::Task<> CaptureCoordinator::startRecording(Operation operation) {
    const std::shared_ptr<PermissionRequesting> permissions = m_permissions;
    const PermissionResult permission = co_await permissions->requestVoiceCapture();
    if (!isCurrent(operation)) co_return;
    if (permission != PermissionResult::granted) {
        report(UserFacingFailure::permissionDenied(ProtectedCapability::microphone));
        co_return;
    }
    try {
        m_speech->start();
    } catch (...) {
        report(UserFacingFailure::of(FailureKind::recordingUnavailable));  // the error is dropped
        co_return;
    }
    // Starting the recorder may have given a cancel its turn.
    if (!isCurrent(operation)) {
        m_speech->cancel();
        co_return;
    }
    enter(CaptureState::recording(), AppLogEvent::captureStarted(u"voice"_s));
}

QCoro::Task<> CaptureCoordinator::transcribe(Operation operation) {
    enterStage(ProcessingStage::transcribing);
    const std::shared_ptr<SpeechCapturing> speech = m_speech;
    QString transcript = co_await speech->stopAndTranscribe(operation.token);
    if (!isCurrent(operation)) co_return;
    co_await understand(std::move(transcript), u"口述文本"_s, CaptureKind::voice, operation);
}

QCoro::Task<> CaptureCoordinator::readFile(QString filePath, bool isImage, Operation operation) {
    enterStage(ProcessingStage::extracting);
    const bool asPicture = isImage && m_events->supportsVisionInput();
    const std::shared_ptr<FileExtracting> files = m_files;
    std::variant<QString, PreparedImage> content;
    try {
        if (asPicture) {
            content = co_await files->extractImage(filePath, operation.token);
        } else {
            // Each page of a scan shows; the stage is logged once.
            auto pages = [this, operation](int done, int total) {
                if (isCurrent(operation)) {
                    enter(CaptureState::processing(ProcessingStage::extracting, {{done, total}}));
                }
            };
            content = co_await files->extractText(filePath, operation.token, std::move(pages));
        }
    } catch (const FileExtractionError& error) {
        // Only the extractor's own errors have their own failures; the same error from the
        // model is an answer without events.
        if (isCurrent(operation)) report(error.userFacingFailure());
        co_return;
    }
    if (!isCurrent(operation)) co_return;  // a prepared picture is discarded
    if (asPicture) {
        co_await askModel(std::move(content), u"图片内容"_s, CaptureKind::image, operation);
    } else {
        co_await understand(std::get<QString>(std::move(content)),
                            isImage ? u"图片文字"_s : u"文件内容"_s, CaptureKind::file, operation);
    }
}

QCoro::Task<> CaptureCoordinator::understand(QString text, QString source, CaptureKind kind,
                                             Operation operation) {
    // Trimmed only to test for emptiness; the model gets the text as it came.
    if (text.trimmed().isEmpty()) {
        report(UserFacingFailure::of(FailureKind::emptyCapture));
        co_return;
    }
    co_await askModel(std::move(text), std::move(source), kind, operation);
}

QCoro::Task<> CaptureCoordinator::askModel(std::variant<QString, PreparedImage> content,
                                           QString source, CaptureKind kind, Operation operation) {
    if (!co_await authorizeCloudIfNeeded(kind, operation) || !isCurrent(operation)) co_return;
    enterStage(ProcessingStage::understanding);
    const std::shared_ptr<EventExtracting> events = m_events;
    const QList<ExtractedEvent> found = co_await std::visit(
        [&](auto& value) {
            return events->extractEvents(std::move(value), source, operation.token);
        },
        content);
    if (!isCurrent(operation)) co_return;
    finishUnderstanding(found, operation);
}

QCoro::Task<bool> CaptureCoordinator::authorizeCloudIfNeeded(CaptureKind kind,
                                                             Operation operation) {
    const ProviderRoute route = m_events->providerRoute();
    if (route.isLocal) co_return true;  // content stays on the machine: nothing to ask
    const std::shared_ptr<CloudTransmissionAuthorizing> gate = m_cloudGate;
    const bool allowed = co_await gate->authorize(route.id, kind, route.destination);
    if (!allowed && isCurrent(operation)) {
        report(UserFacingFailure::of(FailureKind::cloudTransmissionDeclined));
    }
    co_return allowed;
}

void CaptureCoordinator::finishUnderstanding(const QList<ExtractedEvent>& events,
                                             const Operation& operation) {
    if (events.isEmpty()) {
        report(UserFacingFailure::of(FailureKind::invalidModelResponse));
        return;
    }
    enterStage(ProcessingStage::preparingConfirmation);
    m_retryCommand.reset();
    if (onEventsReady) onEventsReady(events);
    // The receiver may have cancelled or started another capture; that one owns the state now.
    if (isCurrent(operation)) enter(CaptureState::confirmation());
}

// --- States -------------------------------------------------------------------------------

void CaptureCoordinator::enter(CaptureState state, const std::optional<AppLogEvent>& event) {
    m_state = std::move(state);
    if (event) AppLogger::shared().record(*event);
    if (onStateChange) onStateChange(m_state);
}

void CaptureCoordinator::enterStage(ProcessingStage stage) {
    enter(CaptureState::processing(stage),
          AppLogEvent::stageChanged(QLatin1String(caseName(stage))));
}

void CaptureCoordinator::report(const UserFacingFailure& failure) {
    enter(CaptureState::failure(failure), AppLogEvent::failure(failure.logCode()));
}

}  // namespace zorbel
