#include <gtest/gtest.h>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "core/UserFacingFailure.h"
#include "support/AppLogger.h"
#include "testkit/LogCapture.h"

using zorbel::AppLogEvent;
using zorbel::AppLogger;
using namespace Qt::Literals::StringLiterals;

TEST(AppLogEvent, RendersEveryCaseAsTheLogReadersExpect) {
    const std::pair<AppLogEvent, const char*> cases[] = {
        {AppLogEvent::launch(), "launch"},
        {AppLogEvent::captureStarted(QStringLiteral("voice")), "captureStarted(kind: \"voice\")"},
        {AppLogEvent::permission(QStringLiteral("calendar"), false),
         "permission(kind: \"calendar\", granted: false)"},
        {AppLogEvent::permission(QStringLiteral("microphone"), true),
         "permission(kind: \"microphone\", granted: true)"},
        {AppLogEvent::failure(QStringLiteral("llmRequest")), "failure(code: \"llmRequest\")"},
        {AppLogEvent::calendarWrite(2, 0), "calendarWrite(succeeded: 2, failed: 0)"},
        {AppLogEvent::stageChanged(u"understanding"_s),
         "stageChanged(Zorbel.ProcessingStage.understanding)"},
        {AppLogEvent::stageChanged(u"preparingConfirmation"_s),
         "stageChanged(Zorbel.ProcessingStage.preparingConfirmation)"},
        {AppLogEvent::requestFinished(QStringLiteral("deepseek"), 200, 812),
         "requestFinished(providerID: \"deepseek\", statusCode: Optional(200), "
         "durationMilliseconds: 812)"},
        {AppLogEvent::requestFinished(QStringLiteral("deepseek"), std::nullopt, 812),
         "requestFinished(providerID: \"deepseek\", statusCode: nil, durationMilliseconds: 812)"},
        {AppLogEvent::requestFinished(QStringLiteral("ollama"), 404, -1),
         "requestFinished(providerID: \"ollama\", statusCode: Optional(404), "
         "durationMilliseconds: -1)"},
    };
    for (const auto& [event, text] : cases) EXPECT_EQ(event.rendered(), QString::fromUtf8(text));
}

TEST(AppLogEvent, EscapesQuotesAndBackslashesAndKeepsPercentSigns) {
    const auto unsupported = zorbel::UserFacingFailure::unsupportedFile(QStringLiteral("xlsx"));
    EXPECT_EQ(AppLogEvent::failure(unsupported.logCode()).rendered(),
              QStringLiteral(R"x(failure(code: "unsupportedFile(\"xlsx\")"))x"));
    EXPECT_EQ(AppLogEvent::failure(QStringLiteral(R"x(a\b"c)x")).rendered(),
              QStringLiteral(R"x(failure(code: "a\\b\"c"))x"));
    EXPECT_EQ(
        AppLogEvent::requestFinished(QStringLiteral("%2%3"), 1, 2).rendered(),
        QStringLiteral(
            R"x(requestFinished(providerID: "%2%3", statusCode: Optional(1), durationMilliseconds: 2))x"));
}

TEST(AppLogEvent, EqualityIsCaseAndValues) {
    EXPECT_EQ(AppLogEvent::failure(QStringLiteral("x")), AppLogEvent::failure(QStringLiteral("x")));
    EXPECT_NE(AppLogEvent::failure(QStringLiteral("x")), AppLogEvent::failure(QStringLiteral("y")));
    EXPECT_NE(AppLogEvent::permission(QStringLiteral("calendar"), true),
              AppLogEvent::permission(QStringLiteral("calendar"), false));
    EXPECT_NE(AppLogEvent::captureStarted(QStringLiteral("launch")), AppLogEvent::launch());
    EXPECT_NE(AppLogEvent::requestFinished(QStringLiteral("a"), std::nullopt, 1),
              AppLogEvent::requestFinished(QStringLiteral("a"), 0, 1));
}

TEST(AppLogger, WritesOneInfoLinePerEventOnTheProductCategory) {
    zorbel::test::LogCapture log;
    AppLogger::shared().record(AppLogEvent::launch());
    AppLogger::shared().record(AppLogEvent::calendarWrite(1, 3));
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("event=launch"),
                                        QStringLiteral("event=calendarWrite(succeeded: 1, "
                                                       "failed: 3)")}));
    EXPECT_EQ(&AppLogger::shared(), &AppLogger::shared());
    EXPECT_STREQ(AppLogger::shared().category().categoryName(), "com.zorbel.app.product");
}

TEST(AppLogger, WritesNothingWhenInfoIsDisabled) {
    zorbel::test::LogCapture log;
    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    AppLogger::shared().record(AppLogEvent::launch());
    AppLogger().record(AppLogEvent::launch());
    QLoggingCategory::setFilterRules(QString());
    EXPECT_TRUE(log.lines().isEmpty());
    AppLogger().record(AppLogEvent::launch());
    EXPECT_EQ(log.lines().size(), 1);
}

TEST(AppLogger, RemovesTheLegacyDebugLogAndIgnoresItsAbsence) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zorbel_debug.log"));
    AppLogger::removeLegacyDebugLog(path);  // absent: silently nothing
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old");
    file.close();
    AppLogger::removeLegacyDebugLog(path);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_STREQ(AppLogger::kLegacyDebugLogPath, "/tmp/zorbel_debug.log");
}
