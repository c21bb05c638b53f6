#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

#include "core/CaptureServices.h"
#include "input/AudioInput.h"
#include "input/ResumeOnce.h"
#include "input/SpeechRecognizer.h"

namespace zorbel {

class CredentialStoring;
class Preferences;
class WavFile;

/// Where and how long a `SpeechService` works; tests shorten and move them.
struct SpeechServiceOptions {
    static constexpr std::chrono::milliseconds kRecognitionTimeout{30000};
    static constexpr const char* kLastFailureName = "last-fail.wav";

    std::chrono::milliseconds recognitionTimeout = kRecognitionTimeout;
    /// Where recordings are made; empty: the user's private folder (`privateFolder()`).
    QString temporaryFolder;
    /// Empty: `kLastFailureName` in the private folder.
    QString lastFailurePath;
};

/// Records the microphone while the user holds the ball and turns the recording into text.
///
/// Each recording is a 16 kHz mono WAV file "zorbel-<UUID>.wav", created exclusively with mode
/// 0600 in the temporary folder; it is deleted after a transcript or a cancel, and kept as the
/// single last-failure file after a failed recognition. Used on the GUI thread only.
///
/// Errors: `start` throws ServiceError (`recognizerUnavailable`, `inputUnavailable`) or
/// WavFileError; `stopAndTranscribe` throws ServiceError (`notRecording`,
/// `emptyTranscription`), CloudTransmissionDeclinedError or CancelledError.
class SpeechService final : public SpeechCapturing {
public:
    class ServiceError : public Error {
    public:
        enum Kind { recognizerUnavailable, inputUnavailable, notRecording, emptyTranscription };
        explicit ServiceError(Kind kind) : Error("speech"), m_kind(kind) {}
        Kind kind() const { return m_kind; }
        /// The Chinese description of the case.
        QString description() const;

    private:
        Kind m_kind;
    };

    using Options = SpeechServiceOptions;
    /// The provider id under which the user consents to sending voice to a cloud recogniser.
    static constexpr const char* kCloudProviderID = "speech";

    /// `recognizer` may be null (then nothing can be recorded); `input` null means no device;
    /// `cloudGate` is asked before a recording goes to a recogniser off the machine (null:
    /// always refused).
    SpeechService(std::shared_ptr<SpeechRecognizer> recognizer, std::shared_ptr<AudioInput> input,
                  std::shared_ptr<CloudTransmissionAuthorizing> cloudGate, Options options = {});
    ~SpeechService() override;

    /// The recogniser of the first of "zh-CN", `preferredLanguages` in order, "en-US" that
    /// `make` can create and that is available; null when there is none.
    static std::shared_ptr<SpeechRecognizer> pickRecognizer(const QStringList& preferredLanguages,
                                                            const RecognizerFactory& make);
    /// The desktop's recognisers: the configured transcription endpoint for every language,
    /// else `onDevice` (PocketSphinx) for "en-US".
    static RecognizerFactory systemRecognizers(std::shared_ptr<Preferences> preferences,
                                               std::shared_ptr<CredentialStoring> credentials,
                                               std::shared_ptr<SpeechRecognizer> onDevice);
    /// The user's preferred languages from the system locale, e.g. "fr-FR".
    static QStringList preferredLanguages();

    /// Begins a recording. While one runs, does nothing (the input is never opened twice).
    /// A failure leaves the service idle, so a later `start` can succeed.
    void start() override;
    /// Ends the recording and returns its trimmed transcript (see `transcribe`); deletes the
    /// file after a transcript, keeps it as the last failure after `emptyTranscription`.
    QCoro::Task<QString> stopAndTranscribe(CancellationToken token) override;
    /// Ends the recording and deletes its file; abandons a running transcription (its caller
    /// gets CancelledError).
    void cancel() override;

    /// The trimmed transcript of a WAV file through the chosen recogniser, first asking consent
    /// for voice (provider "speech") when the recogniser is off the machine. Leaves the file
    /// alone. `emptyTranscription` for an error (logged as "transcription"), an empty text or
    /// no answer within the time-out; `recognizerUnavailable`; CloudTransmissionDeclinedError.
    QCoro::Task<QString> transcribe(QString wavPath, CancellationToken token);

    bool isRecording() const { return m_recording.has_value(); }

    /// Moves a failed recording to `fixedPath` by rename, replacing what is there (a link is
    /// replaced, never followed); across file systems through a new exclusive file beside it.
    /// The fixed name is never opened for writing. When it cannot be replaced, logs
    /// "lastFailureFile" and deletes the recording.
    static void keepAsLastFailure(const QString& recording, const QString& fixedPath);

private:
    struct Recording {
        QString path;
        std::shared_ptr<WavFile> file;
    };

    std::optional<QString> stopRecording();

    std::shared_ptr<SpeechRecognizer> m_recognizer;
    std::shared_ptr<AudioInput> m_input;
    std::shared_ptr<CloudTransmissionAuthorizing> m_cloudGate;
    Options m_options;
    std::optional<Recording> m_recording;
    /// The running transcription, for `cancel`.
    std::weak_ptr<ResumeOnce<QString>> m_pending;
    CancellationToken m_pendingRecognition;
};

}  // namespace zorbel
