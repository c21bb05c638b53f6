#include "input/WavFile.h"

#include <QtEndian>

namespace zorbel {

namespace {

constexpr qint64 kHeaderBytes = 44;
constexpr quint16 kPcmFormat = 1;
constexpr quint16 kChannels = 1;
constexpr quint16 kBitsPerSample = 16;
constexpr quint16 kBlockAlign = kChannels * kBitsPerSample / 8;

void put16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

quint16 get16(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 get32(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

}  // namespace

WavFile::WavFile(const QString& path) : m_file(path) {
    // NewOnly creates exclusively, so a link put at `path` is never followed.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                     QFile::ReadOwner | QFile::WriteOwner)) {
        throw WavFileError();
    }
    if (m_file.write(header(0)) != kHeaderBytes) {
        m_file.close();
        m_file.remove();
        throw WavFileError();
    }
}

WavFile::~WavFile() {
    finish();
}

void WavFile::append(QByteArrayView pcm) {
    if (!m_file.isOpen()) return;
    const qint64 written = m_file.write(pcm.data(), pcm.size());
    if (written > 0) m_sampleBytes += written;
}

void WavFile::finish() {
    if (!m_file.isOpen()) return;
    if (m_file.seek(0)) m_file.write(header(m_sampleBytes));
    m_file.close();
}

QByteArray WavFile::header(qint64 sampleBytes) {
    const auto dataBytes = static_cast<quint32>(sampleBytes);
    QByteArray out;
    out.reserve(kHeaderBytes);
    out.append("RIFF");
    put32(out, dataBytes + kHeaderBytes - 8);
    out.append("WAVEfmt ");
    put32(out, 16);
    put16(out, kPcmFormat);
    put16(out, kChannels);
    put32(out, kSampleRate);
    put32(out, kSampleRate * kBlockAlign);
    put16(out, kBlockAlign);
    put16(out, kBitsPerSample);
    out.append("data");
    put32(out, dataBytes);
    return out;
}

QByteArray WavFile::readSamples(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw WavFileError();
    const QByteArray data = file.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE") {
        throw WavFileError();
    }
    bool formatOk = false;
    for (qsizetype at = 12; at + 8 <= data.size();) {
        const QByteArray id = data.mid(at, 4);
        const qsizetype size = get32(data, at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= data.size()) {
            formatOk = get16(data, body) == kPcmFormat && get16(data, body + 2) == kChannels &&
                       get32(data, body + 4) == kSampleRate &&
                       get16(data, body + 14) == kBitsPerSample;
        } else if (id == "data") {
            if (!formatOk) break;
            return data.mid(body, std::min(size, data.size() - body) & ~qsizetype(1));
        }
        at = body + size + (size & 1);
    }
    throw WavFileError();
}

}  // namespace zorbel
