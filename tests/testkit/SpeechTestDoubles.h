#pragma once

// Substitutes for the speech service's seams: a microphone fed by the test, a recogniser that
// answers as scripted, a consent gate, an in-memory secret store.

#include <qcoro/qcorotask.h>
#include <qcoro/qcorotimer.h>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <vector>

#include "core/CaptureServices.h"
#include "input/AudioInput.h"
#include "input/SpeechRecognizer.h"
#include "input/SpeechService.h"
#include "input/WavFile.h"
#include "testkit/EventLoop.h"
#include "testkit/MemoryCredentialStore.h"

namespace zorbel::test {

/// A microphone whose samples the test delivers with `feed`; can fail to start.
class FakeAudioInput final : public AudioInput {
public:
    int starts = 0;
    int failingStarts = 0;  ///< this many starts throw `inputUnavailable`
    Sink sink;

    void start(Sink s) override {
        ++starts;
        if (failingStarts > 0) {
            --failingStarts;
            throw SpeechService::ServiceError(SpeechService::ServiceError::inputUnavailable);
        }
        sink = std::move(s);
    }
    void stop() override { sink = nullptr; }
    void feed(const QByteArray& pcm) const {
        if (sink) sink(pcm);
    }
};

/// A recogniser that answers as scripted and remembers what it was given.
class ScriptedRecognizer final : public SpeechRecognizer {
public:
    enum class Behaviour { answer, fail, never };

    bool available = true;
    bool local = true;
    Behaviour behaviour = Behaviour::answer;
    QString text;
    int calls = 0;
    QByteArray heardSamples;  ///< the samples of the last recording it was given
    QString heardPath;
    bool stoppedByCancel = false;  ///< a `never` recognition saw its token cancelled and ended

    bool isAvailable() const override { return available; }
    bool isLocal() const override { return local; }
    QCoro::Task<QString> recognize(QString wavPath, CancellationToken token) override {
        ++calls;
        heardPath = wavPath;
        heardSamples = WavFile::readSamples(wavPath);
        if (behaviour == Behaviour::fail) throw RecognitionError("scripted");
        if (behaviour == Behaviour::never) {
            while (!token.isCancelled()) co_await QCoro::sleepFor(std::chrono::milliseconds(5));
            stoppedByCancel = true;
            throw CancelledError();
        }
        co_return QString(text);  // QCoro 0.8 moves from a co_returned lvalue
    }
};

/// A consent gate that answers as scripted and remembers what it was asked.
class ScriptedGate final : public CloudTransmissionAuthorizing {
public:
    bool allow = false;
    std::vector<std::pair<QString, CaptureKind>> asked;

    QCoro::Task<bool> authorize(QString providerID, CaptureKind kind, QString) override {
        asked.emplace_back(providerID, kind);
        co_return allow;
    }
};

}  // namespace zorbel::test
