// Feeds arbitrary bytes, written as a file the way a dropped document arrives, to the Word
// reader (a zip archive holding XML). The reader must never crash, leak or trip a sanitizer; the
// bomb in the corpus expands past the limit and must be refused within the memory limit.

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "input/DocxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.docx"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) __builtin_trap();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    zorbel::DocxReader::readText(path);
    return 0;
}
