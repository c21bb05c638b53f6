#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "input/FileTextExtractor.h"
#include "testkit/FileFixtures.h"
#include "testkit/LogCapture.h"

namespace zorbel::test {

/// A test of file extraction: its own folder for the inputs and the product log lines.
class FileExtractionFixture : public ::testing::Test {
protected:
    /// Writes `bytes` to the file `name` in the test's folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        FileFixtures::writeFile(path, bytes);
        return path;
    }

    /// The FileExtractionError that extracting the text of `path` throws, or nothing.
    static std::optional<FileExtractionError> errorOf(
        const QString& path, const FileTextExtractor::WordConverter& converter =
                                 FileTextExtractor::WordConverter::standard()) {
        return FileFixtures::extractionError(
            [&] { FileTextExtractor::extractText(path, {}, converter); });
    }

    QTemporaryDir dir;
    LogCapture log;
};

}  // namespace zorbel::test
