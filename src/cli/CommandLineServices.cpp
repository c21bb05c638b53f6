#include "cli/CommandLineServices.h"

#include <unistd.h>
#include <QTextStream>
#include <cstdio>

#include "input/SpeechService.h"
#include "llm/LLMPreset.h"

namespace zorbel {

RecordedSpeech::RecordedSpeech(std::shared_ptr<SpeechService> service, QString wavPath)
    : m_service(std::move(service)), m_wavPath(std::move(wavPath)) {}

QCoro::Task<QString> RecordedSpeech::stopAndTranscribe(CancellationToken token) {
    const std::shared_ptr<SpeechService> service = m_service;
    if (!service) throw SpeechService::ServiceError(SpeechService::ServiceError::notRecording);
    co_return co_await service->transcribe(m_wavPath, token);
}

QCoro::Task<PermissionResult> GrantedPermissions::requestVoiceCapture() {
    co_return PermissionResult::granted;
}

QCoro::Task<PermissionResult> GrantedPermissions::requestCalendarWrite() {
    co_return PermissionResult::granted;
}

namespace {

QCoro::Task<bool> askOnTerminal(QString providerID, CaptureKind kind, bool allowCloud) {
    if (allowCloud) co_return true;
    if (!isatty(STDIN_FILENO)) co_return false;
    QTextStream err(stderr);
    err << CloudTransmissionGate::consentMessage() << "\n\n"
        << CloudTransmissionGate::consentInformativeText(kind, consentReceiverName(providerID))
        << "\n\n"
        << CloudTransmissionGate::tr("继续？[y/N] ");
    err.flush();
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    co_return answer == u"y" || answer == u"yes";
}

}  // namespace

CloudTransmissionGate::Prompt terminalConsentPrompt(bool allowCloud) {
    return [allowCloud](QString providerID, CaptureKind kind) {
        return askOnTerminal(std::move(providerID), kind, allowCloud);
    };
}

}  // namespace zorbel
