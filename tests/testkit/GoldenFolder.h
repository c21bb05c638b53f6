#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace zorbel::test {

/// One folder of golden cases: every file matching `inputPattern` in `folder` is an input, and
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
    void check(const std::function<QByteArray(const QString& inputPath)>& produce) const;
};

}  // namespace zorbel::test
