#pragma once

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <functional>

namespace zorbel::test {

/// One folder of golden cases: every file matching `inputPatterns` in `folder` is an input, and
/// the file of the same base name ending in `expectedSuffix` holds what the code under test must
/// make of it, byte for byte. A mismatch fails the test with both texts and writes what the code
/// made to BASE<expectedSuffix>.fail in the working folder (copy it over the expected file once
/// it is right).
/// `minimumCases` guards against a folder that went missing or a pattern that matches nothing.
struct GoldenFolder {
    QString folder;
    QStringList inputPatterns;
    QString expectedSuffix;
    qsizetype minimumCases = 1;

    /// Runs `produce` over every input (given its full path) and compares.
    void check(const std::function<QByteArray(const QString& inputPath)>& produce) const {
        const QDir dir(folder);
        const QStringList inputs = dir.entryList(inputPatterns, QDir::Files, QDir::Name);
        ASSERT_GE(inputs.size(), minimumCases) << "too few cases in " << folder.toStdString();
        for (const QString& name : inputs) {
            const QString base = QFileInfo(name).completeBaseName();
            SCOPED_TRACE(name.toStdString());
            QFile expectedFile(dir.filePath(base + expectedSuffix));
            ASSERT_TRUE(expectedFile.open(QIODevice::ReadOnly))
                << "no expected file " << expectedFile.fileName().toStdString();
            const QByteArray expected = expectedFile.readAll();
            const QByteArray actual = produce(dir.filePath(name));
            if (actual == expected) continue;
            QFile fail(base + expectedSuffix + QStringLiteral(".fail"));
            if (fail.open(QIODevice::WriteOnly)) fail.write(actual);
            ADD_FAILURE() << "expected:\n"
                          << expected.toStdString() << "\ngot (written to "
                          << QFileInfo(fail).absoluteFilePath().toStdString() << "):\n"
                          << actual.toStdString();
        }
    }
};

}  // namespace zorbel::test
