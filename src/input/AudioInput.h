#pragma once

#include <QByteArrayView>
#include <functional>

namespace zorbel {

/// The microphone as the recorder sees it: a source of 16 kHz mono signed 16-bit
/// little-endian samples. Started and stopped on the GUI thread; delivers on that thread.
class AudioInput {
public:
    /// Receives each buffer of samples as it arrives.
    using Sink = std::function<void(QByteArrayView pcm)>;

    virtual ~AudioInput() = default;
    /// Starts delivering to `sink`. Throws SpeechService::ServiceError `inputUnavailable` when
    /// there is no usable input; nothing is left running then.
    virtual void start(Sink sink) = 0;
    /// Stops delivering; `sink` is not called afterwards. Does nothing when not started.
    virtual void stop() = 0;
};

}  // namespace zorbel
