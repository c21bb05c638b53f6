#pragma once

#include <memory>

#include "input/AudioInput.h"

class QAudioSource;
class QIODevice;

namespace zorbel {

/// The desktop's default audio input through Qt Multimedia.
class SystemAudioInput final : public AudioInput {
public:
    SystemAudioInput();
    ~SystemAudioInput() override;

    /// `inputUnavailable` when there is no input device, it cannot deliver the recording
    /// format, or it fails to start.
    void start(Sink sink) override;
    void stop() override;

private:
    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_device = nullptr;
};

}  // namespace zorbel
