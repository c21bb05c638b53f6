// Finding the `ollama` tool and pulling a model with a stand-in script in a temporary folder.

#include <gtest/gtest.h>

#include "llm/OllamaCLI.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/ShellEnvironment.h"

using namespace zorbel;

TEST(OllamaCLI, TheFirstExecutableCandidateWins) {
    QTemporaryDir dir;
    const QStringList candidates{dir.filePath(QStringLiteral("a")),
                                 dir.filePath(QStringLiteral("b")),
                                 dir.filePath(QStringLiteral("c"))};
    EXPECT_EQ(OllamaCLI::executablePath(candidates), std::nullopt);
    test::writeTool(candidates[2], "");
    EXPECT_EQ(OllamaCLI::executablePath(candidates), candidates[2]);
    test::writeTool(candidates[1], "", /*executable=*/false);
    EXPECT_EQ(OllamaCLI::executablePath(candidates), candidates[2]);
    test::writeTool(candidates[0], "");
    EXPECT_EQ(OllamaCLI::executablePath(candidates), candidates[0]);
    // A folder is not a tool.
    EXPECT_EQ(OllamaCLI::executablePath({dir.path()}), std::nullopt);
}

TEST(OllamaCLI, EachChunkReportsItsLastNonEmptyPieceTrimmed) {
    const std::pair<QByteArray, std::optional<QString>> rows[] = {
        {"pulling 10%\rpulling 55% \r", QStringLiteral("pulling 55%")},
        {"a\r\nb\r\n", QStringLiteral("b")},
        {"one\ntwo\vthree\f", QStringLiteral("three")},
        {"x\u2028\u4e0b\u8f7d\u2029", QStringLiteral("\u4e0b\u8f7d")},
        {"\r\n  \r \n", std::nullopt},
        {"", std::nullopt},
        {"bad \xff\xfe utf-8", std::nullopt},
    };
    for (const auto& [chunk, status] : rows) EXPECT_EQ(OllamaCLI::statusOfChunk(chunk), status);
}

TEST(OllamaCLI, PullRunsTheToolWithTheModelAndReportsEachOutcome) {
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("ollama"));
    const struct {
        const char* script;
        bool succeeded;
        const char* lastStatus;
        const char* failureCode;
    } rows[] = {
        {"#!/bin/sh\necho \"$1 $2\" >&2\n", true, "pull qwen2.5vl:3b", nullptr},
        {"#!/bin/sh\nprintf 'pulling 3%%\\r'\nprintf 'Error: no space left\\n'\nexit 1\n", false,
         "Error: no space left", "ollamaPullExit"},
        {"#!/nonexistent/interpreter\n", false, nullptr, "ollamaPullStart"},
        {nullptr, false, nullptr, nullptr},  // no tool at all
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script ? row.script : "none");
        QFile::remove(tool);
        if (row.script) test::writeTool(tool, row.script);
        test::LogCapture log;
        QStringList statuses;
        std::optional<bool> succeeded;
        OllamaCLI::pull(
            QStringLiteral("qwen2.5vl:3b"),
            [&](const QString& line) {
                EXPECT_FALSE(succeeded.has_value()) << "status after completion";
                statuses << line;
            },
            [&](bool ok) { succeeded = ok; }, {dir.filePath(QStringLiteral("missing")), tool});
        ASSERT_TRUE(test::spinUntil([&] { return succeeded.has_value(); }));
        EXPECT_EQ(*succeeded, row.succeeded);
        EXPECT_EQ(statuses.value(statuses.size() - 1), QString::fromUtf8(row.lastStatus));
        EXPECT_EQ(log.failureCodes(),
                  row.failureCode ? QStringList{QLatin1String(row.failureCode)} : QStringList());
    }
}
