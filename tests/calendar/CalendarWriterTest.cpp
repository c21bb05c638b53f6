#include <gtest/gtest.h>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/CalendarWriter.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCalendarStore.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

const CalendarChoice kA{u"A"_s, u"Home"_s, u"#FF0000"_s};
const CalendarChoice kB{u"B"_s, u"Work"_s, u"#00FF00"_s};

class CalendarWriterTest : public ::testing::Test {
protected:
    std::shared_ptr<test::FakeCalendarStore> store = std::make_shared<test::FakeCalendarStore>();
    test::LogCapture log;

    WriteReceipt write(const QStringList& titles, const QString& calendarID) {
        QList<EventToWrite> events;
        for (const QString& title : titles)
            events.append({u"id-"_s + title, test::sampleEvent(title)});
        return test::await(CalendarWriter(store).write(events, calendarID));
    }
};

}  // namespace

// In order into the chosen calendar, or the first when it is gone; a failed event does not
// stop the batch.
TEST_F(CalendarWriterTest, SavesInOrderIntoTheChosenCalendarAndOnPastAFailedEvent) {
    store->calendars = {kA, kB};
    store->failingTitles = {u"two"_s};
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const WriteReceipt receipt = write({u"one"_s, u"two"_s, u"three"_s}, u"B"_s);
    EXPECT_EQ(receipt, (WriteReceipt{kB,
                                     {u"id-one"_s, u"id-three"_s},
                                     {{u"two"_s, u"save"_s, u"id-two"_s}},
                                     receipt.createdAt,
                                     {}}));
    EXPECT_GE(receipt.createdAt, before);
    EXPECT_EQ(store->calls, (QStringList{u"access"_s, u"list"_s, u"save one to B"_s,
                                         u"save two to B"_s, u"save three to B"_s}));
    EXPECT_EQ(log.lines(), QStringList{u"event=calendarWrite(succeeded: 2, failed: 1)"_s});
    EXPECT_EQ(write({u"four"_s}, u"gone"_s).calendar, kA);
}

TEST_F(CalendarWriterTest, WithoutAccessOrACalendarNothingIsSavedAndAnEmptyBatchIsNoError) {
    store->calendars = {kA};
    store->fullAccess = false;
    const auto error = test::thrown<CalendarStoreError>([&] { write({u"one"_s}, u"A"_s); });
    EXPECT_TRUE(error && error->kind() == CalendarStoreError::Kind::notFound);
    EXPECT_EQ(store->calls, QStringList{u"access"_s});
    EXPECT_EQ(log.failureCodes(), QStringList{u"calendarUnauthorized"_s});

    store->fullAccess = true;
    store->calendars.clear();
    store->calls.clear();
    EXPECT_THROW(write({u"one"_s}, u"A"_s), CalendarStoreError);
    EXPECT_EQ(store->calls, (QStringList{u"access"_s, u"list"_s}));
    EXPECT_EQ(log.failureCodes().last(), u"noWritableCalendar"_s);

    store->calendars = {kA};
    log.clear();
    EXPECT_EQ(write({}, u"A"_s).calendar, kA);
    EXPECT_EQ(log.lines(), QStringList{u"event=calendarWrite(succeeded: 0, failed: 0)"_s});
}

TEST(CalendarWriter, ThePreferenceChoosesTheStoreAndAConfiguredWriterMakesItAtEachListing) {
    test::TempXdg xdg;
    Preferences& preferences = *Preferences::standard();
    const auto credentials = std::make_shared<test::MemoryCredentialStore>();
    const auto configured = [&] {
        return CalendarWriter::configuredStore(preferences, credentials);
    };
    CalendarWriter writer(Preferences::standard(), credentials);
    const auto& local = dynamic_cast<VdirCalendarStore&>(*writer.store());
    EXPECT_EQ(local.root(), xdg.dataHome() + u"/zorbel/calendars"_s);
    EXPECT_NE(dynamic_cast<VdirCalendarStore*>(configured().get()), nullptr);
    preferences.setValue(u"calendar.store"_s, u"caldav"_s);
    preferences.setValue(u"calendar.caldav.url"_s, u"http://127.0.0.1:1/"_s);
    EXPECT_NE(dynamic_cast<CalDavCalendarStore*>(configured().get()), nullptr);
    EXPECT_EQ(writer.store().get(), &local);
    EXPECT_NE(dynamic_cast<CalDavCalendarStore*>(writer.store(true).get()), nullptr);
}
