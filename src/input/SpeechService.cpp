#include "input/SpeechService.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>
#include <QTimer>
#include <QUuid>
#include <filesystem>
#include <system_error>

#include "core/CloudTransmissionDeclinedError.h"
#include "input/TranscriptionEndpointRecognizer.h"
#include "input/WavFile.h"
#include "support/AppLogger.h"
#include "support/PrivateFolder.h"

namespace zorbel {

namespace {

using ServiceError = SpeechService::ServiceError;

void logFailure(const char* code) {
    AppLogger::shared().record(AppLogEvent::failure(QLatin1String(code)));
}

std::exception_ptr emptyTranscription() {
    return std::make_exception_ptr(ServiceError(ServiceError::emptyTranscription));
}

/// Runs one recognition and offers its outcome to `once`; runs on after the waiter has gone
/// (time-out, cancel), holding everything it uses.
QCoro::Task<void> recognizeInto(std::shared_ptr<SpeechRecognizer> recognizer, QString wavPath,
                                CancellationToken token,
                                std::shared_ptr<ResumeOnce<QString>> once) {
    try {
        const QString text = (co_await recognizer->recognize(wavPath, token)).trimmed();
        if (text.isEmpty()) {
            once->resumeThrowing(emptyTranscription());
        } else {
            once->resume(text);
        }
    } catch (const CancelledError&) {
        once->resumeThrowing(emptyTranscription());
    } catch (...) {
        logFailure("transcription");
        once->resumeThrowing(emptyTranscription());
    }
}

/// Copies `recording` into a new exclusively created file beside `fixedPath`, then renames
/// that over `fixedPath`.
std::error_code replaceAcrossFileSystems(const QString& recording, const QString& fixedPath) {
    QFile source(recording);
    QTemporaryFile beside(QFileInfo(fixedPath).absolutePath() +
                          QStringLiteral("/zorbel-last-fail-XXXXXX.wav"));
    if (!source.open(QIODevice::ReadOnly) || !beside.open() ||
        beside.write(source.readAll()) != source.size() || !beside.flush()) {
        return std::make_error_code(std::errc::io_error);
    }
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(beside.fileName()).toStdString(),
                            QFile::encodeName(fixedPath).toStdString(), error);
    if (!error) beside.setAutoRemove(false);  // it now is the fixed name
    return error;
}

}  // namespace

QString SpeechService::ServiceError::description() const {
    switch (m_kind) {
        case recognizerUnavailable:
            return QStringLiteral("系统语音识别不可用（zh-CN/系统首选语言/en-US 均不可用）");
        case inputUnavailable:
            return QStringLiteral("无可用音频输入设备");
        case notRecording:
            return QStringLiteral("当前没有进行中的录音");
        case emptyTranscription:
            return QStringLiteral("识别结果为空或识别失败");
    }
    return {};
}

SpeechService::SpeechService(std::shared_ptr<SpeechRecognizer> recognizer,
                             std::shared_ptr<AudioInput> input,
                             std::shared_ptr<CloudTransmissionAuthorizing> cloudGate,
                             Options options)
    : m_recognizer(std::move(recognizer)),
      m_input(std::move(input)),
      m_cloudGate(std::move(cloudGate)),
      m_options(std::move(options)) {
    if (m_options.temporaryFolder.isEmpty()) m_options.temporaryFolder = privateFolder();
    if (m_options.lastFailurePath.isEmpty()) {
        m_options.lastFailurePath = m_options.temporaryFolder + u'/' +
                                    QLatin1String(SpeechServiceOptions::kLastFailureName);
    }
}

SpeechService::~SpeechService() {
    cancel();
}

std::shared_ptr<SpeechRecognizer> SpeechService::pickRecognizer(
    const QStringList& preferredLanguages, const RecognizerFactory& make) {
    QStringList locales{QStringLiteral("zh-CN")};
    locales += preferredLanguages;
    locales += QStringLiteral("en-US");
    for (const QString& locale : locales) {
        auto recognizer = make(locale);
        if (recognizer && recognizer->isAvailable()) return recognizer;
    }
    return nullptr;
}

RecognizerFactory SpeechService::systemRecognizers(std::shared_ptr<Preferences> preferences,
                                                   std::shared_ptr<CredentialStoring> credentials,
                                                   std::shared_ptr<SpeechRecognizer> onDevice) {
    auto endpoint = std::make_shared<TranscriptionEndpointRecognizer>(std::move(preferences),
                                                                      std::move(credentials));
    return [endpoint, onDevice](const QString& locale) -> std::shared_ptr<SpeechRecognizer> {
        if (endpoint->isAvailable()) return endpoint;
        if (QString(locale).replace(u'_', u'-').compare(u"en-US", Qt::CaseInsensitive) == 0) {
            return onDevice;
        }
        return nullptr;
    };
}

QStringList SpeechService::preferredLanguages() {
    return QLocale::system().uiLanguages();
}

void SpeechService::start() {
    if (m_recording) return;
    if (!m_recognizer || !m_recognizer->isAvailable()) {
        throw ServiceError(ServiceError::recognizerUnavailable);
    }
    if (!m_input) throw ServiceError(ServiceError::inputUnavailable);
    if (m_options.temporaryFolder.isEmpty()) throw WavFileError();
    const QString path = m_options.temporaryFolder + QStringLiteral("/zorbel-") +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                         QStringLiteral(".wav");
    auto file = std::make_shared<WavFile>(path);
    try {
        m_input->start([weak = std::weak_ptr<WavFile>(file)](QByteArrayView pcm) {
            if (const auto open = weak.lock()) open->append(pcm);
        });
    } catch (...) {
        file.reset();
        QFile::remove(path);
        throw;
    }
    m_recording = Recording{path, std::move(file)};
}

std::optional<QString> SpeechService::stopRecording() {
    if (!m_recording) return std::nullopt;
    m_input->stop();
    m_recording->file->finish();
    const QString path = m_recording->path;
    m_recording.reset();
    return path;
}

void SpeechService::cancel() {
    if (const auto path = stopRecording()) QFile::remove(*path);
    if (const auto pending = m_pending.lock()) {
        m_pendingRecognition.cancel();
        pending->resumeThrowing(std::make_exception_ptr(CancelledError()));
    }
}

QCoro::Task<QString> SpeechService::stopAndTranscribe(CancellationToken token) {
    const auto path = stopRecording();
    if (!path) throw ServiceError(ServiceError::notRecording);
    const QString lastFailurePath = m_options.lastFailurePath;
    QString text;
    try {
        text = co_await transcribe(*path, token);
    } catch (const ServiceError& error) {
        if (error.kind() == ServiceError::emptyTranscription) {
            keepAsLastFailure(*path, lastFailurePath);
        } else {
            QFile::remove(*path);
        }
        throw;
    } catch (...) {
        QFile::remove(*path);
        throw;
    }
    QFile::remove(*path);
    co_return text;
}

QCoro::Task<QString> SpeechService::transcribe(QString wavPath, CancellationToken token) {
    const auto recognizer = m_recognizer;
    const auto timeout = m_options.recognitionTimeout;
    if (!recognizer || !recognizer->isAvailable()) {
        throw ServiceError(ServiceError::recognizerUnavailable);
    }
    if (!recognizer->isLocal()) {
        const auto gate = m_cloudGate;
        const bool allowed =
            gate && co_await gate->authorize(QLatin1String(kCloudProviderID), CaptureKind::voice,
                                             recognizer->destination());
        if (!allowed) throw CloudTransmissionDeclinedError();
    }
    token.throwIfCancelled();

    auto once = std::make_shared<ResumeOnce<QString>>();
    const CancellationToken recognition;
    m_pending = once;
    m_pendingRecognition = recognition;
    QTimer timeLimit;
    timeLimit.setSingleShot(true);
    QObject::connect(&timeLimit, &QTimer::timeout, [once, recognition] {
        recognition.cancel();
        once->resumeThrowing(emptyTranscription());
    });
    timeLimit.start(timeout);
    recognizeInto(recognizer, wavPath, recognition, once);
    co_return co_await ResumeOnce<QString>::wait(once);
}

void SpeechService::keepAsLastFailure(const QString& recording, const QString& fixedPath) {
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(recording).toStdString(),
                            QFile::encodeName(fixedPath).toStdString(), error);
    if (error == std::errc::cross_device_link)
        error = replaceAcrossFileSystems(recording, fixedPath);
    if (error) logFailure("lastFailureFile");
    QFile::remove(recording);
}

}  // namespace zorbel
