#pragma once

#include <QImage>
#include <QString>
#include <memory>

#include "support/CancellationToken.h"

namespace tesseract {
class TessBaseAPI;
}

namespace zorbel {

/// Optical character recognition of Chinese (simplified) and English text, with Tesseract.
/// The engine is loaded on the first recognition and reused for the next ones (the pages of
/// one PDF). Not thread safe: one instance per thread of work.
class TextRecognizer {
public:
    /// The recognition languages, Chinese first.
    static constexpr const char* kLanguages = "chi_sim+eng";

    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    /// The recognised lines of `image` in reading order, joined with "\n"; transparent parts
    /// count as white. An empty text when nothing was recognised. When the engine cannot load
    /// or run, logs `failure` "ocrFailed" and gives an empty text. Throws CancelledError when
    /// `token` is cancelled, before or during the recognition (the engine stops between words).
    QString recognize(const QImage& image, const CancellationToken& token = {});

private:
    bool ensureEngine();

    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    bool m_unavailable = false;
};

}  // namespace zorbel
