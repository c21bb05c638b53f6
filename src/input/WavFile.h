#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include "support/Errors.h"

namespace zorbel {

/// A recording file that cannot be created, written or read as 16 kHz mono 16-bit PCM.
class WavFileError : public Error {
public:
    WavFileError() : Error("wavFile") {}
};

/// A WAV file of 16 kHz mono signed 16-bit little-endian PCM, the one format recordings use.
/// Not thread-safe: one writer on one thread.
class WavFile {
public:
    static constexpr int kSampleRate = 16000;

    /// Creates `path` exclusively (an existing file or link there is never opened) and writes
    /// the header. Throws WavFileError.
    explicit WavFile(const QString& path);
    /// Finishes the file if `finish` was not called.
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    /// Appends samples; write errors are ignored (the recording just ends shorter).
    void append(QByteArrayView pcm);
    /// Writes the final sizes into the header and closes the file.
    void finish();

    /// The header of a file holding `sampleBytes` bytes of samples.
    static QByteArray header(qint64 sampleBytes);
    /// The samples of a 16 kHz mono 16-bit PCM WAV file. Throws WavFileError for anything else.
    static QByteArray readSamples(const QString& path);

private:
    QFile m_file;
    qint64 m_sampleBytes = 0;
};

}  // namespace zorbel
