#include <gtest/gtest.h>
#include <QLoggingCategory>

#include "core/UserFacingFailure.h"
#include "support/AppLogger.h"
#include "testkit/LogCapture.h"

using zorbel::AppLogEvent;
using zorbel::AppLogger;

TEST(AppLogEvent, RendersEveryCaseAsTheLogReadersExpect) {
    const std::pair<AppLogEvent, const char*> cases[] = {
        {AppLogEvent::launch(), "launch"},
        {AppLogEvent::captureStarted(QStringLiteral("voice")), "captureStarted(kind: \"voice\")"},
        {AppLogEvent::permission(QStringLiteral("calendar"), false),
         "permission(kind: \"calendar\", granted: false)"},
        {AppLogEvent::failure(QStringLiteral("llmRequest")), "failure(code: \"llmRequest\")"},
        {AppLogEvent::calendarWrite(2, 0), "calendarWrite(succeeded: 2, failed: 0)"},
        {AppLogEvent::stageChanged(QStringLiteral("understanding")),
         "stageChanged(Zorbel.ProcessingStage.understanding)"},
        {AppLogEvent::requestFinished(QStringLiteral("deepseek"), 200, 812),
         "requestFinished(providerID: \"deepseek\", statusCode: Optional(200), "
         "durationMilliseconds: 812)"},
        // Quotes and backslashes are escaped, percent signs kept as they are.
        {AppLogEvent::failure(
             zorbel::UserFacingFailure::unsupportedFile(QStringLiteral("xlsx")).logCode()),
         R"x(failure(code: "unsupportedFile(\"xlsx\")"))x"},
        {AppLogEvent::failure(QStringLiteral(R"x(a\b"c)x")), R"x(failure(code: "a\\b\"c"))x"},
        {AppLogEvent::requestFinished(QStringLiteral("%2%3"), std::nullopt, -1),
         R"x(requestFinished(providerID: "%2%3", statusCode: nil, durationMilliseconds: -1))x"},
    };
    for (const auto& [event, text] : cases) EXPECT_EQ(event.rendered(), QString::fromUtf8(text));
}

TEST(AppLogger, WritesOneInfoLinePerEventUnlessInfoIsDisabled) {
    zorbel::test::LogCapture log;
    AppLogger::shared().record(AppLogEvent::launch());
    AppLogger::shared().record(AppLogEvent::calendarWrite(1, 3));
    EXPECT_EQ(log.lines(),
              QStringList({QStringLiteral("event=launch"),
                           QStringLiteral("event=calendarWrite(succeeded: 1, failed: 3)")}));
    log.clear();

    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    AppLogger::shared().record(AppLogEvent::launch());
    AppLogger().record(AppLogEvent::launch());
    QLoggingCategory::setFilterRules(QString());
    EXPECT_TRUE(log.lines().isEmpty());
    AppLogger().record(AppLogEvent::launch());
    EXPECT_EQ(log.lines().size(), 1);
}
