#include "input/SpeechModule.h"

#include "input/SpeechService.h"

namespace zorbel {

std::shared_ptr<const SpeechModule> speechModule(QString path) {
    return std::make_shared<const SpeechModule>(std::move(path), SpeechParts::kModuleEntry,
                                                "speechModule");
}

ModuleAudioInput::ModuleAudioInput(std::shared_ptr<const SpeechModule> module)
    : m_module(std::move(module)) {}

ModuleAudioInput::~ModuleAudioInput() = default;

void ModuleAudioInput::start(Sink sink) {
    if (!m_input) {
        const SpeechParts* parts = m_module->get();
        if (!parts)
            throw SpeechService::ServiceError(SpeechService::ServiceError::inputUnavailable);
        m_input = parts->audioInput();
    }
    m_input->start(std::move(sink));
}

void ModuleAudioInput::stop() {
    if (m_input) m_input->stop();
}

ModuleSpeechRecognizer::ModuleSpeechRecognizer(std::shared_ptr<const SpeechModule> module,
                                               QString modelDirectory)
    : m_module(std::move(module)), m_modelDirectory(std::move(modelDirectory)) {}

bool ModuleSpeechRecognizer::isAvailable() const {
    return PocketSphinxRecognizer::modelInstalled(m_modelDirectory);
}

QCoro::Task<QString> ModuleSpeechRecognizer::recognize(QString wavPath, CancellationToken token) {
    if (!m_recognizer) {
        const SpeechParts* parts = m_module->get();
        if (!parts) throw RecognitionError("speechModule");
        m_recognizer = parts->onDeviceRecognizer(m_modelDirectory);
    }
    const std::shared_ptr<SpeechRecognizer> recognizer = m_recognizer;
    co_return co_await recognizer->recognize(std::move(wavPath), std::move(token));
}

}  // namespace zorbel
