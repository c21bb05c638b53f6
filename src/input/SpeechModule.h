#pragma once

#include "input/PocketSphinxRecognizer.h"
#include "input/SpeechParts.h"
#include "support/Module.h"

namespace zorbel {

/// The speech module, loaded on first use: a program that never records maps neither Qt
/// Multimedia nor PocketSphinx (about 8 ms of start). A failure to load is logged as
/// "speechModule".
using SpeechModule = Module<SpeechParts>;
std::shared_ptr<const SpeechModule> speechModule(
    QString path = moduleBesideProgram(QStringLiteral("speech.so")));

/// The module's microphone, made at the first start. Throws SpeechService::ServiceError
/// `inputUnavailable` when the module cannot be loaded.
class ModuleAudioInput final : public AudioInput {
public:
    explicit ModuleAudioInput(std::shared_ptr<const SpeechModule> module);
    ~ModuleAudioInput() override;

    void start(Sink sink) override;
    void stop() override;

private:
    std::shared_ptr<const SpeechModule> m_module;
    std::unique_ptr<AudioInput> m_input;
};

/// The module's on-device recogniser: available when its model is installed, which is known
/// without loading the module; made at the first recognition. Throws RecognitionError
/// "speechModule" when the module cannot be loaded.
class ModuleSpeechRecognizer final : public SpeechRecognizer {
public:
    explicit ModuleSpeechRecognizer(
        std::shared_ptr<const SpeechModule> module,
        QString modelDirectory = QLatin1String(PocketSphinxRecognizer::kModelDirectory));

    bool isAvailable() const override;
    bool isLocal() const override { return true; }
    QCoro::Task<QString> recognize(QString wavPath, CancellationToken token) override;

private:
    std::shared_ptr<const SpeechModule> m_module;
    QString m_modelDirectory;
    std::shared_ptr<SpeechRecognizer> m_recognizer;
};

}  // namespace zorbel
