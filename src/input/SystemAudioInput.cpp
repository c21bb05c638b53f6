#include "input/SystemAudioInput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>

#include "input/SpeechService.h"
#include "input/WavFile.h"

namespace zorbel {

SystemAudioInput::SystemAudioInput() = default;

SystemAudioInput::~SystemAudioInput() {
    stop();
}

void SystemAudioInput::start(Sink sink) {
    stop();
    const auto unavailable =
        SpeechService::ServiceError(SpeechService::ServiceError::inputUnavailable);
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull()) throw unavailable;
    QAudioFormat format;
    format.setSampleRate(WavFile::kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) throw unavailable;

    m_source = std::make_unique<QAudioSource>(device, format);
    m_device = m_source->start();
    if (!m_device || m_source->error() != QAudio::NoError) {
        m_source.reset();
        m_device = nullptr;
        throw unavailable;
    }
    QObject::connect(m_device, &QIODevice::readyRead, m_source.get(),
                     [device = m_device, sink = std::move(sink)] { sink(device->readAll()); });
}

void SystemAudioInput::stop() {
    if (!m_source) return;
    m_source->stop();
    m_source.reset();
    m_device = nullptr;
}

}  // namespace zorbel
