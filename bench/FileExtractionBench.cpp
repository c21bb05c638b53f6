// Speed and memory of file extraction on inputs made here: PDF pages with a text layer, OCR of
// scanned 2000-pixel pages, a .docx, and a 12-megapixel JPEG prepared for the model (time, and
// the peak resident memory of one preparation in a fresh process).
//   build/bench/bench_file_extraction

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

#include "input/FileTextExtractor.h"
#include "testkit/FileFixtures.h"

namespace FTE = zorbel::FileTextExtractor;
namespace FF = zorbel::test::FileFixtures;

namespace {

constexpr const char* kPeakOption = "--prepare-image-peak";

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

QStringList denseLines(int count, int seed) {
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines.append(QStringLiteral("第%1项 项目评审会议 Project review %2, room 3-%1")
                         .arg(seed * 100 + i)
                         .arg(seed));
    }
    return lines;
}

QString scannedPdf(int pages) {
    const QString path = workDir().filePath(QStringLiteral("scan%1.pdf").arg(pages));
    QList<FF::PdfPage> list;
    for (int i = 0; i < pages; ++i) list.append({denseLines(25, i), true});
    FF::writePdf(path, list);
    return path;
}

// A photo-like 4000 x 3000 JPEG: gradients and text, so the encoder has real work.
QString photo() {
    const QString path = workDir().filePath(QStringLiteral("photo.jpg"));
    if (QFile::exists(path)) return path;
    QImage image(4000, 3000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 4000, 3000);
    gradient.setColorAt(0, QColor(20, 60, 160));
    gradient.setColorAt(1, QColor(240, 200, 80));
    painter.fillRect(image.rect(), gradient);
    painter.setFont(QFont(FF::cjkFontFamily(), 90));
    for (int i = 0; i < 20; ++i) painter.drawText(100, 150 * (i + 1), denseLines(1, i).first());
    painter.end();
    FF::writeFile(path, FF::jpeg(image, 92));
    return path;
}

void BM_PdfTextLayerPages(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const QString path = workDir().filePath(QStringLiteral("text.pdf"));
    QList<FF::PdfPage> list;
    for (int i = 0; i < pages; ++i) list.append({denseLines(3, i), false});
    FF::writePdf(path, list);
    for (auto _ : state) benchmark::DoNotOptimize(FTE::extractText(path));
    state.SetItemsProcessed(state.iterations() * pages);  // pages per second
}
BENCHMARK(BM_PdfTextLayerPages)->Arg(100)->Unit(benchmark::kMillisecond);

// One scanned page includes loading the engine; the difference to three pages is the page cost.
void BM_OcrScannedPages(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const QString path = scannedPdf(pages);
    for (auto _ : state) benchmark::DoNotOptimize(FTE::extractText(path));
    state.SetItemsProcessed(state.iterations() * pages);
}
// Wall time: the pages are recognised on threads of their own.
BENCHMARK(BM_OcrScannedPages)
    ->Arg(1)
    ->Arg(3)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void BM_DocxExtraction(benchmark::State& state) {
    const QString path = workDir().filePath(QStringLiteral("minutes.docx"));
    FF::writeDocx(path, FF::documentXml(denseLines(static_cast<int>(state.range(0)), 1)));
    for (auto _ : state) benchmark::DoNotOptimize(FTE::extractText(path));
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}
BENCHMARK(BM_DocxExtraction)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_PrepareImage12MP(benchmark::State& state) {
    const QString path = photo();
    for (auto _ : state) benchmark::DoNotOptimize(FTE::prepareImage(path));
}
BENCHMARK(BM_PrepareImage12MP)->Unit(benchmark::kMillisecond);

qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QRegularExpression line(QLatin1String(field) + QStringLiteral(":\\s+(\\d+) kB"));
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// Child mode: one preparation of a picture ("prepare") or one reading of a scanned PDF ("scan")
// in a fresh process; prints the resident memory before it, the high-water mark after it (KiB)
// and the size of what came out (bytes of the JPEG, characters of the text).
int measurePeak(const QString& kind, const QString& path) {
    // A tiny picture first, so that loading the JPEG plugin does not count.
    QImage tiny(8, 8, QImage::Format_RGB32);
    tiny.fill(Qt::white);
    QImage::fromData(FF::jpeg(tiny));
    const qint64 before = statusKiB("VmRSS");
    const qsizetype size =
        kind == u"scan" ? FTE::extractText(path).size() : FTE::prepareImage(path).data.size();
    const qint64 peak = statusKiB("VmHWM");
    std::printf("%lld %lld %lld\n", static_cast<long long>(before), static_cast<long long>(peak),
                static_cast<long long>(size));
    return 0;
}

// Peak memory of `kind` on `path`, measured in a child process so that nothing else this
// program did counts.
void measurePeakInChild(benchmark::State& state, const char* kind, const QString& path,
                        const char* sizeCounter, double sizeUnit) {
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QLatin1String(kPeakOption), QLatin1String(kind), path});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        const QList<QByteArray> numbers = child.readAllStandardOutput().trimmed().split(' ');
        if (numbers.size() != 3) {
            state.SkipWithError("unexpected output of the measuring process");
            return;
        }
        state.counters["rss_before_MiB"] = numbers[0].toDouble() / 1024;
        state.counters["peak_MiB"] = numbers[1].toDouble() / 1024;
        state.counters["peak_growth_MiB"] = (numbers[1].toDouble() - numbers[0].toDouble()) / 1024;
        state.counters[sizeCounter] = numbers[2].toDouble() / sizeUnit;
    }
}

// The full decoded image would take 4000 x 3000 x 4 bytes = 46 MiB.
void BM_PrepareImagePeakMemory(benchmark::State& state) {
    measurePeakInChild(state, "prepare", photo(), "jpeg_KiB", 1024);
}
BENCHMARK(BM_PrepareImagePeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// A 300-page scan with a few lines a page: the pages recognised are capped, and at most one
// rendered page more than there are engines is held at a time (one page is 2000 x 2829 x 4
// bytes = 22 MiB).
void BM_OcrLongScanPeakMemory(benchmark::State& state) {
    const QString path = workDir().filePath(QStringLiteral("long scan.pdf"));
    QList<FF::PdfPage> list;
    for (int i = 0; i < 300; ++i) list.append({denseLines(3, i), true});
    FF::writePdf(path, list);
    measurePeakInChild(state, "scan", path, "text_chars", 1);
}
BENCHMARK(BM_OcrLongScanPeakMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OMP_THREAD_LIMIT", "1");
    if (argc == 4 && qstrcmp(argv[1], kPeakOption) == 0) {
        QCoreApplication app(argc, argv);
        return measurePeak(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
