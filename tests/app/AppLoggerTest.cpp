// The product log's quoting and info switch (other forms are read back where they are logged).

#include <gtest/gtest.h>
#include <QLoggingCategory>

#include "core/UserFacingFailure.h"
#include "support/AppLogger.h"
#include "testkit/LogCapture.h"

using zorbel::AppLogEvent;
using zorbel::AppLogger;

TEST(AppLogEvent, QuotesValuesKeepsPercentSignsAndShowsAnAbsentStatusAsNil) {
    const std::pair<AppLogEvent, const char*> cases[] = {
        {AppLogEvent::requestFinished(QStringLiteral("%2%3"), std::nullopt, -1),
         R"x(requestFinished(providerID: "%2%3", statusCode: nil, durationMilliseconds: -1))x"},
        {AppLogEvent::failure(
             zorbel::UserFacingFailure::unsupportedFile(QStringLiteral("xlsx")).logCode()),
         R"x(failure(code: "unsupportedFile(\"xlsx\")"))x"},
        {AppLogEvent::failure(QStringLiteral(R"x(a\b"c)x")), R"x(failure(code: "a\\b\"c"))x"},
    };
    for (const auto& [event, text] : cases) EXPECT_EQ(event.rendered(), QString::fromUtf8(text));
}

TEST(AppLogger, WritesOneInfoLinePerEventUnlessInfoIsDisabled) {
    zorbel::test::LogCapture log;
    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    AppLogger::shared().record(AppLogEvent::launch());
    AppLogger().record(AppLogEvent::launch());
    QLoggingCategory::setFilterRules(QString());
    EXPECT_TRUE(log.lines().isEmpty());
    AppLogger().record(AppLogEvent::calendarWrite(1, 3));
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("event=calendarWrite(succeeded: 1, failed: 3)")});
}
