#include <gtest/gtest.h>
#include <QSet>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/CalendarWriter.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/EventLoop.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::sampleEvent;

namespace {

/// A store that records what it is asked and fails the saves it is told to.
class FakeStore final : public CalendarStoreProtocol {
public:
    bool fullAccess = true;
    QList<CalendarChoice> calendars;
    QSet<QString> failingTitles;
    QStringList calls;
    QList<std::pair<QString, QString>> saved;  // title, calendar id

    QCoro::Task<bool> hasFullAccess() override {
        calls.append(QStringLiteral("access"));
        co_return fullAccess;
    }
    QCoro::Task<QList<CalendarChoice>> writableCalendars() override {
        calls.append(QStringLiteral("list"));
        co_return calendars;
    }
    QCoro::Task<QString> save(ExtractedEvent event, QString calendarID) override {
        calls.append(QStringLiteral("save"));
        if (failingTitles.contains(event.title)) {
            throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
        }
        saved.append({event.title, calendarID});
        co_return QStringLiteral("id-") + event.title;
    }
};

const CalendarChoice kA{QStringLiteral("A"), QStringLiteral("Home"), QStringLiteral("#FF0000")};
const CalendarChoice kB{QStringLiteral("B"), QStringLiteral("Work"), QStringLiteral("#00FF00")};

class CalendarWriterTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeStore> store = std::make_shared<FakeStore>();
    CalendarWriter writer{store};
    test::LogCapture log;

    WriteReceipt write(const QStringList& titles, const QString& calendarID) {
        QList<ExtractedEvent> events;
        for (const QString& title : titles) events.append(sampleEvent(title));
        return await(writer.write(events, calendarID));
    }
};

}  // namespace

TEST_F(CalendarWriterTest, WritesEveryEventToTheChosenCalendarInOrder) {
    store->calendars = {kA, kB};
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const WriteReceipt receipt = write({QStringLiteral("one"), QStringLiteral("two")}, u"B"_qs);
    EXPECT_EQ(receipt.calendar, kB);
    EXPECT_EQ(receipt.createdEventIDs, (QStringList{u"id-one"_qs, u"id-two"_qs}));
    EXPECT_TRUE(receipt.failures.isEmpty());
    EXPECT_GE(receipt.createdAt, before);
    EXPECT_EQ(store->saved.size(), 2);
    EXPECT_EQ(store->saved.at(1), std::make_pair(u"two"_qs, u"B"_qs));
    EXPECT_EQ(log.lines(), QStringList{u"event=calendarWrite(succeeded: 2, failed: 0)"_qs});
}

TEST_F(CalendarWriterTest, AGoneCalendarFallsBackToTheFirst) {
    store->calendars = {kA, kB};
    const WriteReceipt receipt = write({QStringLiteral("one")}, u"gone"_qs);
    EXPECT_EQ(receipt.calendar, kA);
    EXPECT_EQ(store->saved.first().second, u"A"_qs);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(CalendarWriterTest, AFailedEventIsRecordedAndTheBatchGoesOn) {
    store->calendars = {kA};
    store->failingTitles = {QStringLiteral("two")};
    const WriteReceipt receipt =
        write({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}, u"A"_qs);
    EXPECT_EQ(receipt.createdEventIDs, (QStringList{u"id-one"_qs, u"id-three"_qs}));
    EXPECT_EQ(receipt.failures, (QList<WriteFailure>{{u"two"_qs, u"save"_qs}}));
    EXPECT_EQ(log.lines(), QStringList{u"event=calendarWrite(succeeded: 2, failed: 1)"_qs});
}

TEST_F(CalendarWriterTest, WithoutFullAccessNothingIsListedOrWritten) {
    store->calendars = {kA};
    store->fullAccess = false;
    try {
        write({QStringLiteral("one")}, u"A"_qs);
        ADD_FAILURE() << "no error";
    } catch (const CalendarStoreError& error) {
        EXPECT_EQ(error.kind(), CalendarStoreError::Kind::notFound);
    }
    EXPECT_EQ(store->calls, QStringList{u"access"_qs});
    EXPECT_EQ(log.failureCodes(), QStringList{u"calendarUnauthorized"_qs});
}

TEST_F(CalendarWriterTest, NoWritableCalendarThrowsEvenForAnEmptyBatch) {
    EXPECT_THROW(write({QStringLiteral("one")}, u"A"_qs), CalendarStoreError);
    EXPECT_EQ(log.failureCodes(), QStringList{u"noWritableCalendar"_qs});
    EXPECT_FALSE(store->calls.contains(u"save"_qs));

    store->calendars = {kA};
    log.clear();
    const WriteReceipt receipt = write({}, u"A"_qs);
    EXPECT_EQ(receipt.calendar, kA);
    EXPECT_TRUE(receipt.createdEventIDs.isEmpty() && receipt.failures.isEmpty());
    EXPECT_EQ(log.lines(), QStringList{u"event=calendarWrite(succeeded: 0, failed: 0)"_qs});
}

TEST(CalendarWriterConfiguration, ThePreferenceChoosesTheStore) {
    test::TempXdg xdg;
    Preferences& preferences = *Preferences::standard();
    const auto credentials = std::make_shared<test::MemoryCredentialStore>();
    EXPECT_NE(dynamic_cast<VdirCalendarStore*>(
                  CalendarWriter::configuredStore(preferences, credentials).get()),
              nullptr);
    preferences.setValue(QStringLiteral("calendar.store"), QStringLiteral("caldav"));
    preferences.setValue(QStringLiteral("calendar.caldav.url"),
                         QStringLiteral("http://127.0.0.1:1/"));
    EXPECT_NE(dynamic_cast<CalDavCalendarStore*>(
                  CalendarWriter::configuredStore(preferences, credentials).get()),
              nullptr);
    preferences.setValue(QStringLiteral("calendar.store"), QStringLiteral("local"));

    // A writer over the preferences keeps its store until the next listing makes it again.
    CalendarWriter writer(Preferences::standard(), credentials);
    const auto& local = dynamic_cast<VdirCalendarStore&>(*writer.store());
    EXPECT_EQ(local.root(), xdg.dataHome() + u"/zorbel/calendars"_s);
    preferences.setValue(QStringLiteral("calendar.store"), QStringLiteral("caldav"));
    EXPECT_EQ(writer.store().get(), &local);
    EXPECT_NE(dynamic_cast<CalDavCalendarStore*>(writer.store(true).get()), nullptr);
}
