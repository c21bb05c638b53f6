#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QMutex>
#include <memory>

#include "input/SpeechRecognizer.h"

namespace zorbel {

/// On-device recognition of American English with PocketSphinx and its general en-US model.
/// The decoder is loaded at the first recognition and kept; one recognition runs at a time.
class PocketSphinxRecognizer final : public SpeechRecognizer {
public:
    /// Where Debian's pocketsphinx-en-us package puts the model.
    static constexpr const char* kModelDirectory = "/usr/share/pocketsphinx/model/en-us";

    explicit PocketSphinxRecognizer(QString modelDirectory = QLatin1String(kModelDirectory));
    ~PocketSphinxRecognizer() override;

    /// The model's acoustic model folder, language model and dictionary exist.
    static bool modelInstalled(const QString& modelDirectory) {
        return QFileInfo(modelDirectory + QStringLiteral("/en-us")).isDir() &&
               QFileInfo::exists(modelDirectory + QStringLiteral("/en-us.lm.bin")) &&
               QFileInfo::exists(modelDirectory + QStringLiteral("/cmudict-en-us.dict"));
    }

    bool isAvailable() const override { return modelInstalled(m_modelDirectory); }
    bool isLocal() const override { return true; }
    /// Decodes on the thread pool. Throws WavFileError for a file that is not 16 kHz mono
    /// 16-bit PCM, RecognitionError when the model cannot be loaded.
    QCoro::Task<QString> recognize(QString wavPath, CancellationToken token) override;

    /// The text of 16 kHz mono 16-bit samples, on the calling thread (any thread).
    /// Throws RecognitionError when the model cannot be loaded; CancelledError.
    QString recognizeSamples(const QByteArray& pcm, const CancellationToken& token);

private:
    struct Decoder;
    static QString decode(Decoder& decoder, const QString& modelDirectory, const QByteArray& pcm,
                          const CancellationToken& token);

    QString m_modelDirectory;
    std::shared_ptr<Decoder> m_decoder;
};

}  // namespace zorbel
