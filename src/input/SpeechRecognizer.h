#pragma once

#include <qcoro/qcorotask.h>
#include <QString>
#include <functional>
#include <memory>

#include "support/CancellationToken.h"
#include "support/Errors.h"

namespace zorbel {

/// A recogniser's own failure (bad audio, an HTTP error status, an unreadable answer).
/// The diagnostic names the cause; it never carries recognised text.
class RecognitionError : public Error {
public:
    explicit RecognitionError(QByteArray diagnostic) : Error(std::move(diagnostic)) {}
};

/// Turns a recording into text. Created and used on the GUI thread.
class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    /// Whether it can recognise now.
    virtual bool isAvailable() const = 0;
    /// Whether the recording stays on this machine; otherwise it may only be sent with the
    /// user's consent for voice content.
    virtual bool isLocal() const = 0;
    /// Where a recording that leaves the machine goes (the server's origin), so that consent
    /// given for one server never covers another; empty for a local recogniser.
    virtual QString destination() const { return {}; }
    /// The text spoken in a 16 kHz mono 16-bit WAV file, as the recogniser gives it (not
    /// trimmed); empty when nothing was recognised. Throws RecognitionError, NetworkError or
    /// WavFileError; CancelledError once `token` is cancelled.
    virtual QCoro::Task<QString> recognize(QString wavPath, CancellationToken token) = 0;
};

/// The recogniser for a locale identifier such as "zh-CN", or nullptr when there is none.
using RecognizerFactory = std::function<std::shared_ptr<SpeechRecognizer>(const QString& locale)>;

}  // namespace zorbel
