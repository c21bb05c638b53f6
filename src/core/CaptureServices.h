#pragma once

// The five narrow services the capture coordinator works through. Every asynchronous
// operation runs as a coroutine on the caller's (GUI) thread between suspensions, and takes the
// operation's cancellation token: a service that sees it cancelled may end early by throwing
// CancelledError; whatever it returns after that is ignored by the caller.

#include <qcoro/qcorotask.h>
#include <QList>
#include <QString>

#include "core/CaptureTypes.h"
#include "core/ExtractedEvent.h"
#include "core/FileExtractionError.h"
#include "core/FileTextLimits.h"
#include "support/CancellationToken.h"

namespace zorbel {

/// Records speech while the user holds the ball and turns it into text.
class SpeechCapturing {
public:
    virtual ~SpeechCapturing() = default;
    /// Begins recording. Throws the recorder's error when recording cannot start.
    virtual void start() = 0;
    /// Ends recording and returns the transcript. Throws on failure.
    virtual QCoro::Task<QString> stopAndTranscribe(CancellationToken token) = 0;
    /// Abandons recording or transcription.
    virtual void cancel() = 0;
};

/// Reads a dropped file.
class FileExtracting {
public:
    virtual ~FileExtracting() = default;
    /// The text of a document, or the OCR text of a picture. Throws FileExtractionError.
    /// `progress` is told, on the caller's thread, how many pages of a scanned document are
    /// recognised.
    virtual QCoro::Task<QString> extractText(QString filePath, CancellationToken token,
                                             PageProgress progress) = 0;
    /// A picture prepared for a vision model. Throws FileExtractionError; by default every file
    /// is `unsupportedType` with its lower-cased extension.
    virtual QCoro::Task<PreparedImage> extractImage(QString filePath, CancellationToken token);
};

/// Turns text or a picture into candidate events through the language model.
class EventExtracting {
public:
    virtual ~EventExtracting() = default;
    /// The provider the next request will use.
    virtual ProviderRoute providerRoute() const = 0;
    /// Whether the next request can carry a picture.
    virtual bool supportsVisionInput() const { return false; }
    /// Events in `text`; `source` labels the content for the model. Throws LLMError,
    /// NetworkError or CancelledError.
    virtual QCoro::Task<QList<ExtractedEvent>> extractEvents(QString text, QString source,
                                                             CancellationToken token) = 0;
    /// Events in a picture. By default: FileExtractionError `unsupportedType("image")`.
    virtual QCoro::Task<QList<ExtractedEvent>> extractEvents(PreparedImage image, QString source,
                                                             CancellationToken token);
};

/// Asks the system for the permissions a capture or a write needs. Never throws.
class PermissionRequesting {
public:
    virtual ~PermissionRequesting() = default;
    /// The microphone, then (only when granted) speech recognition.
    virtual QCoro::Task<PermissionResult> requestVoiceCapture() = 0;
    virtual QCoro::Task<PermissionResult> requestCalendarWrite() = 0;
};

/// Decides whether content may go to a cloud provider.
class CloudTransmissionAuthorizing {
public:
    virtual ~CloudTransmissionAuthorizing() = default;
    /// True when content of `kind` may be sent to the provider `providerID`. A provider whose
    /// address the user sets names its `destination` (the server's origin) too: consent for one
    /// server never covers another.
    virtual QCoro::Task<bool> authorize(QString providerID, CaptureKind kind,
                                        QString destination) = 0;
};

}  // namespace zorbel
