#include "input/TextRecognizer.h"

#include <dlfcn.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include "input/Pictures.h"
#include "support/AppLogger.h"

namespace zorbel {

namespace {

void logOcrFailed() {
    AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ocrFailed")));
}

// Tesseract spreads one page over OpenMP threads, which makes it several times slower on a
// busy machine; pages are recognised one per thread of work instead. OMP_THREAD_LIMIT cannot
// do this from inside the program (the OpenMP runtime reads it when it is loaded, before
// main), so the calling thread is told to run its parallel regions alone. The call is looked up
// at run time: an engine built without OpenMP needs nothing.
void runEngineOnThisThreadOnly() {
    using SetMaxActiveLevels = void (*)(int);
    static const auto setMaxActiveLevels =
        reinterpret_cast<SetMaxActiveLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    if (setMaxActiveLevels) setMaxActiveLevels(0);
}

}  // namespace

TextRecognizer::TextRecognizer() = default;
TextRecognizer::~TextRecognizer() {
    if (m_engine) m_engine->End();
}

bool TextRecognizer::ensureEngine() {
    if (m_engine) return true;
    if (m_unavailable) return false;
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    if (engine->Init(nullptr, kLanguages) != 0) {
        m_unavailable = true;
        return false;
    }
    // Diagnostics would go to stderr and may quote recognised text.
    engine->SetVariable("debug_file", "/dev/null");
    m_engine = std::move(engine);
    return true;
}

QString TextRecognizer::recognize(const QImage& image, const CancellationToken& token) {
    token.throwIfCancelled();
    if (!ensureEngine()) {
        logOcrFailed();
        return {};
    }
    runEngineOnThisThreadOnly();
    const QImage gray =
        Pictures::flattenedOnWhite(image).convertToFormat(QImage::Format_Grayscale8);
    if (gray.isNull()) {
        logOcrFailed();
        return {};
    }
    m_engine->SetImage(gray.constBits(), gray.width(), gray.height(), 1,
                       static_cast<int>(gray.bytesPerLine()));
    // Pages and thumbnails are about 2000 pixels across a printed width: roughly 240 dpi.
    m_engine->SetSourceResolution(240);
    // The engine asks between words whether to go on.
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = [](void* cancelled, int) {
        return static_cast<const CancellationToken*>(cancelled)->isCancelled();
    };
    monitor.cancel_this = const_cast<CancellationToken*>(&token);
    if (m_engine->Recognize(&monitor) != 0) {
        m_engine->Clear();
        token.throwIfCancelled();
        logOcrFailed();
        return {};
    }
    QStringList lines;
    const std::unique_ptr<tesseract::ResultIterator> it(m_engine->GetIterator());
    if (it) {
        do {
            const std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
            if (!utf8) continue;
            const QString line = QString::fromUtf8(utf8.get()).trimmed();
            if (!line.isEmpty()) lines.append(line);
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    m_engine->Clear();
    return lines.join(u'\n');
}

}  // namespace zorbel
