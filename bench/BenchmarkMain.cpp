// The main of the benchmark programs that need nothing but a Qt application: offscreen windows,
// and the product log switched off so that the terminal is not what is measured.

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
