#pragma once

#include <QString>
#include <memory>

#include "input/AudioInput.h"
#include "input/SpeechRecognizer.h"

namespace zorbel {

/// The speech parts on heavy libraries: the microphone through Qt Multimedia and on-device
/// recognition with PocketSphinx. Linked into a program (`linkedSpeechParts`), or in the speech
/// module that the programs load on their first recording (SpeechModule.h). Thread safe.
class SpeechParts {
public:
    /// The module's one exported function: `const SpeechParts* zorbel_speech_parts()`.
    static constexpr const char* kModuleEntry = "zorbel_speech_parts";

    virtual ~SpeechParts() = default;
    /// A SystemAudioInput.
    virtual std::unique_ptr<AudioInput> audioInput() const = 0;
    /// A PocketSphinxRecognizer of the model in `modelDirectory`.
    virtual std::shared_ptr<SpeechRecognizer> onDeviceRecognizer(
        const QString& modelDirectory) const = 0;
};

/// The parts linked into this program (library zorbel_speech_engines).
std::shared_ptr<const SpeechParts> linkedSpeechParts();

}  // namespace zorbel
