#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/CalendarWriter.h"
#include "calendar/ICalendarMapping.h"
#include "calendar/VdirCalendarStore.h"
#include "testkit/CalDavServers.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCalendarStore.h"
#include "testkit/LogCapture.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::localTime;

namespace {

ExtractedEvent event(const QString& title, const QDateTime& start, int minutes = 60) {
    ExtractedEvent made;
    made.title = title;
    made.startDate = start.toUTC();
    made.endDate = made.startDate.addSecs(minutes * 60);
    return made;
}

/// The read events as "title start-in-local-time", in start order.
QStringList seen(QList<ExistingEvent> events) {
    std::sort(events.begin(), events.end(),
              [](const ExistingEvent& a, const ExistingEvent& b) { return a.start < b.start; });
    QStringList lines;
    for (const ExistingEvent& e : events) {
        lines.append(e.title + u' ' + e.start.toLocalTime().toString(u"MM-dd HH:mm"_s));
    }
    return lines;
}

/// The kind of store error `work` ends with, if it ends with one.
std::optional<CalendarStoreError::Kind> storeError(const std::function<void()>& work) {
    const auto error = test::thrown<CalendarStoreError>(work);
    return error ? std::optional(error->kind()) : std::nullopt;
}

/// A real store and the calendar in it that a test writes to: a vdir folder in `root` when one is
/// given, and alice's calendar "work" on each CalDAV server installed here, started.
struct RealStore {
    const char* name;
    std::shared_ptr<CalendarStoreProtocol> store;
    QString calendar;
    std::unique_ptr<test::CalDavServer> server;
};

std::vector<RealStore> realStores(const QTemporaryDir* root = nullptr) {
    std::vector<RealStore> stores;
    if (root) {
        stores.push_back(
            {"vdir", std::make_shared<VdirCalendarStore>(root->path()), u"Zorbel"_s, nullptr});
    }
    for (std::unique_ptr<test::CalDavServer>& server : test::installedCalDavServers()) {
        if (!server->start() || !server->makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, {})) {
            ADD_FAILURE() << server->name() << " did not start";
            continue;
        }
        const auto credentials = std::make_shared<test::MemoryCredentialStore>();
        credentials->secrets.insert(u"caldav"_s, u"pw"_s);
        auto store = std::make_shared<CalDavCalendarStore>(server->url(), u"alice"_s, credentials,
                                                           std::chrono::seconds(5));
        const QString work =
            server->url().resolved(QUrl(server->calendarPath(u"alice"_s, u"work"_s))).toString();
        stores.push_back({server->name(), std::move(store), work, std::move(server)});
    }
    for (const RealStore& s : stores) await(s.store->writableCalendars());
    return stores;
}

}  // namespace

TEST(ExistingEvents, AVdirFolderIsReadWithRepeatsAndRereadOnlyWhereAFileChanged) {
    const test::ProcessZone zone("Europe/Berlin");
    QTemporaryDir root;
    VdirCalendarStore store(root.path());
    await(store.writableCalendars());
    ExtractedEvent standup = event(u"Standup"_s, localTime(10, 19, 9), 30);
    standup.recurrence = u"weekly"_s;
    await(store.save(standup, u"Zorbel"_s));
    const QString lunchID =
        await(store.save(event(u"Lunch"_s, localTime(10, 27, 12)), u"Zorbel"_s)).uid;
    const QString folder = root.path() + u"/Zorbel/"_s;
    const QByteArray broken = "BEGIN:VCALENDAR\r\nthis is not iCalendar";
    test::writeFile(folder + u"broken.ics"_s, broken);
    const QDateTime from = localTime(10, 19, 0);
    const QDateTime to = localTime(11, 3, 0);
    test::LogCapture log;

    // The weekly event keeps 09:00 across the end of summer time (25 October).
    EXPECT_EQ(seen(await(store.eventsBetween(u"Zorbel"_s, from, to))),
              (QStringList{u"Standup 10-19 09:00"_s, u"Standup 10-26 09:00"_s,
                           u"Lunch 10-27 12:00"_s, u"Standup 11-02 09:00"_s}));
    EXPECT_EQ(test::readFile(folder + u"broken.ics"_s), broken)
        << "an unreadable file is left alone";
    EXPECT_EQ(log.failureCodes(), QStringList{u"unreadableCalendarObject"_s});

    // A file changed in place, to the same size, is read again once its time changes.
    const QString lunchPath = folder + lunchID + u".ics"_s;
    QByteArray lunch = test::readFile(lunchPath);
    lunch.replace("SUMMARY:Lunch", "SUMMARY:Lanch");
    test::writeFile(lunchPath, lunch);
    {
        QFile file(lunchPath);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                     QFileDevice::FileModificationTime));
    }
    EXPECT_TRUE(
        seen(await(store.eventsBetween(u"Zorbel"_s, from, to))).contains(u"Lanch 10-27 12:00"_s));
    ASSERT_TRUE(QFile::remove(lunchPath));
    EXPECT_EQ(seen(await(store.eventsBetween(u"Zorbel"_s, from, to))).size(), 3);
    EXPECT_EQ(log.failureCodes().size(), 1) << "an unchanged unreadable file is not read again";

    EXPECT_EQ(storeError([&] { await(store.eventsBetween(u"Elsewhere"_s, from, to)); }),
              CalendarStoreError::Kind::notFound);
}

TEST(ExistingEvents, ACalDavCalendarIsQueriedAndTheSameEventWrittenTwiceIsFound) {
    const test::ProcessZone zone("America/New_York");
    for (const RealStore& alice : realStores()) {
        SCOPED_TRACE(alice.name);
        const auto& store = alice.store;
        const QString& work = alice.calendar;
        CalendarWriter writer(store);
        ExtractedEvent review = event(u"Design review"_s, localTime(11, 2, 15));
        review.sourceText = u"Design review Monday 3pm"_s;
        ExtractedEvent yoga = event(u"Yoga"_s, localTime(10, 26, 18));
        yoga.recurrence = u"weekly"_s;
        ASSERT_TRUE(await(writer.write({review, yoga}, work)).failures.isEmpty());

        // Across the end of daylight saving time (1 November) the weekly class stays at 18:00.
        EXPECT_EQ(
            seen(await(store->eventsBetween(work, localTime(10, 30, 0), localTime(11, 10, 0)))),
            (QStringList{u"Design review 11-02 15:00"_s, u"Yoga 11-02 18:00"_s,
                         u"Yoga 11-09 18:00"_s}));

        ExtractedEvent moved = event(u"Design review"_s, localTime(11, 4, 10));
        moved.sourceText = u"The design review is moved to Wednesday 10am"_s;
        ExtractedEvent clash = event(u"Dentist"_s, localTime(11, 9, 17, 30));
        clash.sourceText = u"Dentist 5:30pm on the 9th"_s;
        const auto comparison = await(writer.compare({review, moved, clash}, work));
        ASSERT_TRUE(comparison);
        QStringList relations;
        for (const CalendarMatch& match : comparison->matches) {
            relations.append(QLatin1String(caseName(match.relation)) + u' ' +
                             comparison->existing.value(match.existing).title);
        }
        EXPECT_EQ(relations, (QStringList{u"alreadyThere Design review"_s, u"moves Design review"_s,
                                          u"overlaps Yoga"_s}));
    }
}

TEST(ExistingEvents, AServerThatRefusesTheQueryLeavesTheWriteUnchecked) {
    for (const int status : {403, 501}) {
        SCOPED_TRACE(status);
        test::ChatCompletionsServer refusing;
        refusing.answerBody("<error/>", status);
        const auto store = std::make_shared<CalDavCalendarStore>(
            QUrl(refusing.url(u"/"_s)), u"alice"_s, nullptr, std::chrono::seconds(5));
        const QString work = refusing.url(u"/alice/work/"_s);
        const QDateTime from = localTime(11, 1, 0);
        EXPECT_EQ(storeError([&] { await(store->eventsBetween(work, from, from.addDays(1))); }),
                  CalendarStoreError::Kind::readFailed);
        EXPECT_FALSE(await(CalendarWriter(store).compare({event(u"A"_s, from)}, work)));
        ASSERT_FALSE(refusing.requests().isEmpty());
        EXPECT_EQ(refusing.requests().first().method, "REPORT");
    }
}

TEST(CalDavWrites, AServerThatStopsMidBatchGetsWhatIsMissingOnTheRetryAndItsUndoWaitsForIt) {
    for (const RealStore& alice : realStores()) {
        SCOPED_TRACE(alice.name);
        test::CalDavServer& server = *alice.server;
        const auto& caldav = alice.store;
        const QString& work = alice.calendar;
        const auto store = std::make_shared<test::FakeCalendarStore>(caldav);
        int saved = 0;
        store->afterSave = [&] {
            if (++saved == 2) server.stop();
        };
        QList<EventToWrite> batch;
        for (int i = 1; i <= 5; ++i) {
            batch.append({u"batch-%1"_s.arg(i), event(u"Item %1"_s.arg(i), localTime(12, i, 9))});
        }
        CalendarWriter writer(store);
        const WriteReceipt first = await(writer.write(batch, work));
        EXPECT_EQ(first.createdEventIDs, (QList<QString>{u"batch-1"_s, u"batch-2"_s}));
        ASSERT_EQ(first.failures.size(), 3);
        EXPECT_EQ(first.failures.first().uid, u"batch-3"_s);

        // Back again: the whole batch once more writes the three that are missing, and nothing
        // twice.
        ASSERT_TRUE(server.start());
        const WriteReceipt retry = await(writer.write(batch, work));
        EXPECT_TRUE(retry.failures.isEmpty());
        EXPECT_EQ(retry.createdEventIDs.size(), 5);
        const auto held = [&] {
            return await(caldav->eventsBetween(work, localTime(12, 1, 0), localTime(12, 6, 0)));
        };
        EXPECT_EQ(held().size(), 5);

        // Taken back while the server is gone again: nothing is undone and the record is kept
        // for another try, which takes back what the retry wrote.
        server.stop();
        const std::optional<UndoReceipt> offline = await(writer.undo());
        ASSERT_TRUE(offline);
        EXPECT_EQ(offline->undone, 0);
        EXPECT_EQ(offline->left.size(), 5);
        ASSERT_TRUE(server.start());
        EXPECT_EQ(await(writer.undo()).value().undone, 5);
        EXPECT_TRUE(held().isEmpty());
    }
}

TEST(CalendarChanges, AMoveKeepsTheEventAndACancelRemovesItButNeitherOverwritesAChange) {
    const test::ProcessZone zone("Europe/Berlin");
    QTemporaryDir root;
    const QDateTime from = localTime(12, 1, 0);
    const QDateTime to = localTime(12, 20, 0);
    for (const RealStore& s : realStores(&root)) {
        SCOPED_TRACE(s.name);
        const auto read = [&](const QString& title) {
            for (const ExistingEvent& e : await(s.store->eventsBetween(s.calendar, from, to))) {
                if (e.title == title) return e;
            }
            return ExistingEvent{};
        };
        ExtractedEvent review = event(u"评审"_s, localTime(12, 9, 10));
        review.location = u"研发楼301"_s;
        const QString uid = await(s.store->save(review, s.calendar)).uid;
        ExistingEvent existing = read(u"评审"_s);
        ASSERT_EQ(existing.uid, uid);
        EXPECT_FALSE(existing.etag.isEmpty());

        await(s.store->move(s.calendar, existing, event(u"评审"_s, localTime(12, 10, 15))));
        const ExistingEvent moved = read(u"评审"_s);
        EXPECT_EQ(moved.uid, uid);
        EXPECT_EQ(moved.start, localTime(12, 10, 15));
        EXPECT_NE(moved.etag, existing.etag);

        // The version first read is gone: neither a move nor a cancel writes over the newer one.
        const ExtractedEvent later = event(u"评审"_s, localTime(12, 11, 9));
        EXPECT_EQ(storeError([&] { await(s.store->move(s.calendar, existing, later)); }),
                  CalendarStoreError::Kind::changed);
        EXPECT_EQ(storeError([&] { await(s.store->cancel(s.calendar, existing)); }),
                  CalendarStoreError::Kind::changed);
        EXPECT_EQ(read(u"评审"_s).start, localTime(12, 10, 15));

        await(s.store->cancel(s.calendar, moved));
        EXPECT_TRUE(read(u"评审"_s).uid.isEmpty());
    }
}

TEST(CalendarChanges, AMovedObjectKeepsWhatItHeldAndCountsItsSequence) {
    const QByteArray original =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//x//x//EN\r\nBEGIN:VEVENT\r\nUID:u1\r\n"
        "DTSTAMP:20260101T000000Z\r\nDTSTART;TZID=Europe/Berlin:20261209T100000\r\n"
        "DURATION:PT1H\r\nSUMMARY:Review\r\nDESCRIPTION:Bring the slides\r\nSEQUENCE:3\r\n"
        "ATTENDEE:mailto:a@example.org\r\nRRULE:FREQ=WEEKLY;UNTIL=20270131T225959Z;INTERVAL=2\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    // The repeat the object has stays as it is, whatever the moved event says of its own.
    ExtractedEvent target = event(u"x"_s, QDateTime(QDate(2026, 12, 10), QTime(14, 0), Qt::UTC));
    target.recurrence = u"daily"_s;
    target.recurrenceInterval = 3;
    target.recurrenceEnd = RecurrenceEnd::after(5);
    const auto moved = ICalendarMapping::movedObject(original, u"u1"_s, target);
    ASSERT_TRUE(moved);
    for (const char* kept :
         {"UID:u1", "SUMMARY:Review", "DESCRIPTION:Bring the slides",
          "ATTENDEE:mailto:a@example.org", "SEQUENCE:4", "DTSTART:20261210T140000Z",
          "DTEND:20261210T150000Z", "RRULE:FREQ=WEEKLY;UNTIL=20270131T225959Z;INTERVAL=2\r\n"}) {
        EXPECT_TRUE(moved->contains(kept)) << kept << "\n" << moved->toStdString();
    }
    EXPECT_FALSE(moved->contains("DURATION"));
    EXPECT_EQ(moved->count("RRULE"), 1);
    EXPECT_FALSE(ICalendarMapping::movedObject(original, u"other"_s, ExtractedEvent()));
    const auto cancelled = ICalendarMapping::cancelledObject(original, u"u1"_s);
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(cancelled->contains("STATUS:CANCELLED") && cancelled->contains("SEQUENCE:4"));
}

TEST(Undo, TakesBackAWholeWriteAndLeavesWhatWasEditedSince) {
    const test::ProcessZone zone("America/New_York");
    QTemporaryDir root;
    const QDateTime from = localTime(10, 30, 0);
    const QDateTime to = localTime(11, 9, 0);
    for (const RealStore& s : realStores(&root)) {
        SCOPED_TRACE(s.name);
        const auto now = [&] { return seen(await(s.store->eventsBetween(s.calendar, from, to))); };
        // Across the end of daylight saving time (1 November): a put-back event keeps its hour.
        await(s.store->save(event(u"Review"_s, localTime(10, 31, 10)), s.calendar));
        await(s.store->save(event(u"Lunch"_s, localTime(11, 2, 12)), s.calendar));
        const QStringList before = now();
        const auto existing = await(s.store->eventsBetween(s.calendar, from, to));
        ASSERT_EQ(existing.size(), 2);
        const auto find = [&](const QString& title) {
            return existing.first().title == title ? existing.first() : existing.last();
        };
        CalendarWriter writer(s.store);
        const WriteReceipt written = await(writer.write(
            {{u"undo-1"_s, event(u"Dentist"_s, localTime(11, 3, 9))},
             {u"undo-2"_s, event(u"Standup"_s, localTime(11, 4, 9))}},
            s.calendar,
            {{u"m"_s, false, find(u"Review"_s), event(u"Review"_s, localTime(11, 5, 15))},
             {u"c"_s, true, find(u"Lunch"_s), {}}}));
        ASSERT_TRUE(written.failures.isEmpty());
        ASSERT_EQ(now(), (QStringList{u"Dentist 11-03 09:00"_s, u"Standup 11-04 09:00"_s,
                                      u"Review 11-05 15:00"_s}));

        // Edited elsewhere since the write: that one is left as it is now.
        const auto standup =
            await(s.store->eventsBetween(s.calendar, localTime(11, 4, 0), localTime(11, 5, 0)));
        ASSERT_EQ(standup.size(), 1);
        await(
            s.store->move(s.calendar, standup.first(), event(u"Standup"_s, localTime(11, 4, 10))));

        const std::optional<UndoReceipt> undone = await(writer.undo());
        ASSERT_TRUE(undone);
        EXPECT_EQ(undone->undone, 3);
        EXPECT_EQ(undone->left, (QList<WriteFailure>{{QString(), u"changed"_s, u"undo-2"_s}}));
        EXPECT_EQ(now(), before + QStringList{u"Standup 11-04 10:00"_s});
        EXPECT_FALSE(await(writer.undo())) << "the same write taken back twice";
    }
}

TEST(WriteJournal, IsPrivateAndUndoesOnlyAFreshRecordOfTheSameStore) {
    QTemporaryDir root;
    const auto vdir = std::make_shared<VdirCalendarStore>(root.path());
    CalendarWriter writer(vdir);
    await(writer.write(QList<ExtractedEvent>{event(u"A"_s, localTime(12, 1, 9))}, u"Zorbel"_s));
    EXPECT_EQ(test::fileMode(WriteJournal::path()), 0600u);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_TRUE(writer.undoable(now.addSecs(9 * 60)));
    EXPECT_FALSE(writer.undoable(now.addSecs(11 * 60)));
    QTemporaryDir otherRoot;
    EXPECT_FALSE(CalendarWriter(std::make_shared<VdirCalendarStore>(otherRoot.path())).undoable());

    const QByteArray journal = test::readFile(WriteJournal::path());
    for (const QByteArray& broken :
         {journal.left(journal.size() / 2),
          QByteArray(journal).replace("\"version\":1", "\"version\":0"),
          QByteArray(journal).replace("\"resource\":", "\"r\":"), QByteArray()}) {
        SCOPED_TRACE(broken.toStdString());
        test::writeFile(WriteJournal::path(), broken);
        EXPECT_FALSE(await(writer.undo()));
    }
    test::writeFile(WriteJournal::path(), journal);
    EXPECT_EQ(await(writer.undo()).value().undone, 1);
}
