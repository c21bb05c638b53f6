#pragma once

// The two services `zorbel-extract` replaces: there is no microphone and no one to ask for
// permissions on a command line. Everything else is the desktop's own.

#include <memory>

#include "capture/CloudTransmissionGate.h"
#include "core/CaptureServices.h"

namespace zorbel {

class SpeechService;

/// "Speech" that was recorded before: stopping transcribes a WAV file through the desktop's
/// recogniser choice (and its own consent for a recogniser off the machine). Without a service
/// (no --voice) there is nothing to transcribe.
class RecordedSpeech final : public SpeechCapturing {
public:
    RecordedSpeech(std::shared_ptr<SpeechService> service, QString wavPath);
    void start() override {}
    QCoro::Task<QString> stopAndTranscribe(CancellationToken token) override;
    void cancel() override {}

private:
    std::shared_ptr<SpeechService> m_service;
    QString m_wavPath;
};

/// A command line runs with the user's own rights: every permission is granted.
class GrantedPermissions final : public PermissionRequesting {
public:
    QCoro::Task<PermissionResult> requestVoiceCapture() override;
    QCoro::Task<PermissionResult> requestCalendarWrite() override;
};

/// The cloud consent question on the terminal: `allowCloud` answers "继续" for the user;
/// otherwise, when standard input is a terminal, the question is asked there (y/N); otherwise
/// the answer is no.
CloudTransmissionGate::Prompt terminalConsentPrompt(bool allowCloud);

}  // namespace zorbel
