#include "testkit/GoldenFolder.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zorbel::test {

void GoldenFolder::check(const std::function<QByteArray(const QString&)>& produce) const {
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

}  // namespace zorbel::test
