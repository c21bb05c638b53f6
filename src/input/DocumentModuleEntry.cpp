// The document module: the file readers with Tesseract, Poppler and libzip, which DocumentModule
// loads on a program's first file.

#include <QtGlobal>

#include "input/FileReading.h"

extern "C" Q_DECL_EXPORT const zorbel::FileReading* zorbel_file_reading() {
    // linkedFileReading keeps its instance for the life of the process.
    return zorbel::linkedFileReading().get();
}
