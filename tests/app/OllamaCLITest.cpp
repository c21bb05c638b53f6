// Finding the `ollama` tool and pulling a model with a stand-in script in a temporary folder.

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "llm/OllamaCLI.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"

using namespace zorbel;

namespace {

/// Writes a shell script at `path`, executable or not.
void writeScript(const QString& path, const QByteArray& body, bool executable = true) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) permissions |= QFile::ExeOwner;
    file.setPermissions(permissions);
}

struct PullResult {
    QStringList statuses;
    std::optional<bool> succeeded;
};

PullResult runPull(const QStringList& candidates) {
    PullResult result;
    OllamaCLI::pull(
        QStringLiteral("qwen2.5vl:3b"),
        [&result](const QString& line) {
            EXPECT_FALSE(result.succeeded.has_value()) << "status after completion";
            result.statuses << line;
        },
        [&result](bool ok) { result.succeeded = ok; }, candidates);
    EXPECT_TRUE(test::spinUntil([&] { return result.succeeded.has_value(); }));
    return result;
}

}  // namespace

TEST(OllamaCLI, LooksInTheSystemPlacesInOrder) {
    EXPECT_EQ(OllamaCLI::candidatePaths(),
              (QStringList{QStringLiteral("/usr/local/bin/ollama"),
                           QStringLiteral("/usr/bin/ollama"), QStringLiteral("/snap/bin/ollama")}));
}

TEST(OllamaCLI, TheFirstExecutableCandidateWins) {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a")),
                  second = dir.filePath(QStringLiteral("b")),
                  third = dir.filePath(QStringLiteral("c"));
    EXPECT_EQ(OllamaCLI::executablePath({first, second, third}), std::nullopt);
    writeScript(third, "exit 0\n");
    EXPECT_EQ(OllamaCLI::executablePath({first, second, third}), third);
    writeScript(second, "exit 0\n", /*executable=*/false);
    EXPECT_EQ(OllamaCLI::executablePath({first, second, third}), third);
    writeScript(first, "exit 0\n");
    EXPECT_EQ(OllamaCLI::executablePath({first, second, third}), first);
    // A folder is not a tool.
    EXPECT_EQ(OllamaCLI::executablePath({dir.path()}), std::nullopt);
}

TEST(OllamaCLI, EachChunkReportsItsLastNonEmptyPieceTrimmed) {
    EXPECT_EQ(OllamaCLI::statusOfChunk("pulling 10%\rpulling 55% \r"), u"pulling 55%");
    EXPECT_EQ(OllamaCLI::statusOfChunk("a\r\nb\r\n"), u"b");
    EXPECT_EQ(OllamaCLI::statusOfChunk("one\ntwo\vthree\f"), u"three");
    EXPECT_EQ(OllamaCLI::statusOfChunk("x\u2028\u4e0b\u8f7d\u2029"), u"\u4e0b\u8f7d");
    EXPECT_EQ(OllamaCLI::statusOfChunk("\r\n  \r \n"), std::nullopt);
    EXPECT_EQ(OllamaCLI::statusOfChunk(""), std::nullopt);
    EXPECT_EQ(OllamaCLI::statusOfChunk("bad \xff\xfe utf-8"), std::nullopt);
}

TEST(OllamaCLI, PullRunsTheToolWithTheModelAndReportsSuccess) {
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("ollama"));
    writeScript(tool, "echo \"$1 $2\" >&2\nexit 0\n");
    test::LogCapture log;
    const PullResult result = runPull({dir.filePath(QStringLiteral("missing")), tool});
    EXPECT_EQ(result.succeeded, true);
    EXPECT_EQ(result.statuses, QStringList{QStringLiteral("pull qwen2.5vl:3b")});
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST(OllamaCLI, ANonZeroExitFailsAfterTheLastProgressLine) {
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("ollama"));
    writeScript(
        tool,
        "printf 'pulling manifest\\rpulling 3%%\\r'\nprintf 'Error: no space left\\n'\nexit 1\n");
    test::LogCapture log;
    const PullResult result = runPull({tool});
    EXPECT_EQ(result.succeeded, false);
    ASSERT_FALSE(result.statuses.isEmpty());
    EXPECT_EQ(result.statuses.last(), u"Error: no space left");
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("ollamaPullExit")});
}

TEST(OllamaCLI, MissingOrUnlaunchableToolFails) {
    QTemporaryDir dir;
    test::LogCapture log;
    EXPECT_EQ(runPull({dir.filePath(QStringLiteral("none"))}).succeeded, false);
    EXPECT_TRUE(log.failureCodes().isEmpty());

    // Executable, but the interpreter it names does not exist.
    const QString broken = dir.filePath(QStringLiteral("ollama"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/nonexistent/interpreter\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(runPull({broken}).succeeded, false);
    EXPECT_EQ(log.failureCodes(), QStringList{QStringLiteral("ollamaPullStart")});
}
