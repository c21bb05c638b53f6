#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "core/FileExtractionError.h"
#include "input/FileTextExtractor.h"
#include "testkit/EventLoop.h"
#include "testkit/FileFixtures.h"
#include "testkit/LogCapture.h"

namespace zorbel::test {

/// A test of file extraction: its own folder for the inputs and the product log lines.
class FileExtractionFixture : public ::testing::Test {
protected:
    /// Writes `bytes` to the file `name` in the test's folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) {
        FileFixtures::writeFile(dir.filePath(name), bytes);
        return dir.filePath(name);
    }

    /// The FileExtractionError that extracting the text of `path` throws, or nothing.
    static std::optional<FileExtractionError> errorOf(
        const QString& path, const FileTextExtractor::WordConverter& converter =
                                 FileTextExtractor::WordConverter::standard()) {
        return thrown<FileExtractionError>(
            [&] { FileTextExtractor::extractText(path, {}, converter); });
    }

    QTemporaryDir dir;
    LogCapture log;
};

}  // namespace zorbel::test
