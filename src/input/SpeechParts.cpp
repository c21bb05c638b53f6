#include "input/SpeechParts.h"

#include "input/PocketSphinxRecognizer.h"
#include "input/SystemAudioInput.h"

namespace zorbel {

namespace {

class LinkedSpeechParts final : public SpeechParts {
public:
    std::unique_ptr<AudioInput> audioInput() const override {
        return std::make_unique<SystemAudioInput>();
    }
    std::shared_ptr<SpeechRecognizer> onDeviceRecognizer(
        const QString& modelDirectory) const override {
        return std::make_shared<PocketSphinxRecognizer>(modelDirectory);
    }
};

}  // namespace

std::shared_ptr<const SpeechParts> linkedSpeechParts() {
    static const auto parts = std::make_shared<const LinkedSpeechParts>();
    return parts;
}

}  // namespace zorbel
