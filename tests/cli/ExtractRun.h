#pragma once

#include <gtest/gtest.h>
#include <QProcess>
#include <QStringList>

#include "testkit/EventLoop.h"

namespace zorbel::test {

/// What a run of zorbel-extract gave.
struct ExtractOutcome {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

/// Runs zorbel-extract in the Shanghai zone on `arguments` and `input`, its output into
/// `outputFile` if given, while the event loop serves the test's loopback servers. Without
/// `sessionBus` no secret store is reachable. Fails the test on a crash or after a minute.
inline ExtractOutcome runExtract(const QStringList& arguments, const QByteArray& input = {},
                                 const QString& outputFile = {}, bool sessionBus = false) {
    QProcess process;
    if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!sessionBus) env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Shanghai"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("com.zorbel.app.product.info=false"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZORBEL_EXTRACT_PATH), arguments);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(spinUntil([&] { return process.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "the program crashed";
    return {process.exitCode(), process.readAllStandardOutput(),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace zorbel::test
