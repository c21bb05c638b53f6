#include "input/PocketSphinxRecognizer.h"

#include <pocketsphinx.h>
#include <QMutexLocker>

#include "input/WavFile.h"
#include "support/Background.h"

namespace zorbel {

namespace {

/// Half a second of samples between two cancellation checks.
constexpr size_t kChunkSamples = WavFile::kSampleRate / 2;

}  // namespace

/// The loaded decoder; loading it takes most of a second, so it is kept.
struct PocketSphinxRecognizer::Decoder {
    QMutex mutex;
    ps_decoder_t* ps = nullptr;

    ~Decoder() {
        if (ps) ps_free(ps);
    }

    /// Loads the model once; the mutex must be held.
    void load(const QString& modelDirectory) {
        if (ps) return;
        const QByteArray hmm = (modelDirectory + QStringLiteral("/en-us")).toLocal8Bit();
        const QByteArray lm = (modelDirectory + QStringLiteral("/en-us.lm.bin")).toLocal8Bit();
        const QByteArray dict =
            (modelDirectory + QStringLiteral("/cmudict-en-us.dict")).toLocal8Bit();
        cmd_ln_t* config =
            cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm", lm.constData(),
                        "-dict", dict.constData(), "-logfn", "/dev/null", nullptr);
        if (!config) throw RecognitionError("pocketsphinxConfig");
        ps = ps_init(config);
        cmd_ln_free_r(config);  // the decoder keeps its own reference
        if (!ps) throw RecognitionError("pocketsphinxModel");
    }
};

PocketSphinxRecognizer::PocketSphinxRecognizer(QString modelDirectory)
    : m_modelDirectory(std::move(modelDirectory)), m_decoder(std::make_shared<Decoder>()) {}

PocketSphinxRecognizer::~PocketSphinxRecognizer() = default;

QCoro::Task<QString> PocketSphinxRecognizer::recognize(QString wavPath, CancellationToken token) {
    // The work holds the decoder and the model path, not the recogniser.
    auto work = [decoder = m_decoder, model = m_modelDirectory, wavPath, token] {
        return decode(*decoder, model, WavFile::readSamples(wavPath), token);
    };
    co_return co_await runInBackground(std::move(work));
}

QString PocketSphinxRecognizer::recognizeSamples(const QByteArray& pcm,
                                                 const CancellationToken& token) {
    return decode(*m_decoder, m_modelDirectory, pcm, token);
}

QString PocketSphinxRecognizer::decode(Decoder& decoder, const QString& modelDirectory,
                                       const QByteArray& pcm, const CancellationToken& token) {
    const QMutexLocker lock(&decoder.mutex);
    decoder.load(modelDirectory);
    ps_decoder_t* const ps = decoder.ps;
    const auto* samples = reinterpret_cast<const int16*>(pcm.constData());
    const size_t count = static_cast<size_t>(pcm.size()) / sizeof(int16);
    ps_start_utt(ps);
    for (size_t at = 0; at < count; at += kChunkSamples) {
        if (token.isCancelled()) {
            ps_end_utt(ps);
            throw CancelledError();
        }
        ps_process_raw(ps, samples + at, std::min(kChunkSamples, count - at), FALSE, FALSE);
    }
    ps_end_utt(ps);
    int32 score = 0;
    const char* hypothesis = ps_get_hyp(ps, &score);
    return hypothesis ? QString::fromUtf8(hypothesis) : QString();
}

}  // namespace zorbel
