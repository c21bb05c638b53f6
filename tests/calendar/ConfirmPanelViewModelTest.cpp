#include <gtest/gtest.h>
#include <QSet>

#include "testkit/CalendarTestEvents.h"
#include "ui/confirm/ConfirmOptions.h"
#include "ui/confirm/ConfirmPanelViewModel.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;
using VE = zorbel::EventValidationError;

namespace {

ConfirmPanelViewModel threeEvents() {
    return ConfirmPanelViewModel({sampleEvent(u"a"_s), sampleEvent(u"b"_s), sampleEvent(u"c"_s)});
}

}  // namespace

TEST(ConfirmPanelViewModel, WrapsEveryEventIncludedWithDistinctIdsAndSelectsTheFirst) {
    const ConfirmPanelViewModel model = threeEvents();
    QSet<QUuid> ids;
    for (const EditableEvent& entry : model.events()) {
        EXPECT_TRUE(entry.isIncluded);
        EXPECT_FALSE(entry.id.isNull());
        ids.insert(entry.id);
    }
    EXPECT_EQ(ids.size(), 3);
    EXPECT_EQ(model.selectedEventID(), model.events().first().id);
    EXPECT_FALSE(model.destinationCalendarID().has_value());
    EXPECT_EQ(
        model.includedEvents(),
        (QList<ExtractedEvent>{sampleEvent(u"a"_s), sampleEvent(u"b"_s), sampleEvent(u"c"_s)}));
}

TEST(ConfirmPanelViewModel, ChecksTitleThenOrderThenYearsAndJoinsTheMessages) {
    const QDateTime start = sampleEvent().startDate;
    const auto noon = [](int year, int month, int day) {
        return QDateTime(QDate(year, month, day), QTime(12, 0));
    };
    struct Case {
        QString title;
        QDateTime start;
        QDateTime end;
        QList<VE> errors;
    };
    const Case cases[] = {
        {u" \n\t "_s, start, start.addSecs(3600), {VE::emptyTitle}},
        {u"  inner text \n"_s, start, start, {VE::endNotAfterStart}},
        {u"x"_s, start, start.addSecs(1), {}},
        // Years a calendar cannot hold (libical writes a far end as a null date).
        {u"x"_s, start, noon(3000, 1, 1), {VE::outsideYears}},
        {u"x"_s, noon(1899, 12, 31), start, {VE::outsideYears}},
        {u"x"_s, noon(1900, 1, 1), noon(2999, 12, 31), {}},
        {QString(), start, start.addSecs(-60), {VE::emptyTitle, VE::endNotAfterStart}},
    };
    for (const bool allDay : {false, true}) {  // the checks ignore the all-day flag
        for (const Case& c : cases) {
            SCOPED_TRACE(c.title.toStdString() + " " + c.end.toString(Qt::ISODate).toStdString());
            ConfirmPanelViewModel model({sampleEvent()});
            const QUuid id = model.selectedEventID();
            ExtractedEvent event = sampleEvent(c.title);
            event.startDate = c.start;
            event.endDate = c.end;
            event.allDay = allDay;
            model.update(event, id);
            EXPECT_EQ(model.validationErrors(id), c.errors);
            EXPECT_EQ(model.canWrite(), c.errors.isEmpty());
            QStringList messages;
            for (const VE error : c.errors) messages.append(message(error));
            EXPECT_EQ(model.selectedMessages(), messages.join(u'；'));
            model.setIncluded(false, id);
            EXPECT_TRUE(model.selectedMessages().isEmpty());
        }
    }
}

TEST(ConfirmPanelViewModel, ExcludedEventsAreNotValidatedNorWritten) {
    ConfirmPanelViewModel model = threeEvents();
    const QUuid second = model.events().at(1).id;
    model.update(sampleEvent(QString()), second);
    EXPECT_FALSE(model.canWrite());
    model.setIncluded(false, second);
    EXPECT_TRUE(model.canWrite());
    EXPECT_EQ(model.includedEvents(),
              (QList<ExtractedEvent>{sampleEvent(u"a"_s), sampleEvent(u"c"_s)}));
    model.setIncluded(true, second);
    EXPECT_FALSE(model.canWrite());
    for (const EditableEvent& entry : model.events()) model.setIncluded(false, entry.id);
    EXPECT_TRUE(model.canWrite());
    EXPECT_TRUE(model.includedEvents().isEmpty());
}

TEST(ConfirmPanelViewModel, UnknownIdsChangeNothingAndGiveEmptyAnswers) {
    ConfirmPanelViewModel model = threeEvents();
    const QList<EditableEvent> before = model.events();
    const QUuid stranger = QUuid::createUuid();
    model.setIncluded(false, stranger);
    model.update(sampleEvent(QString()), stranger);
    EXPECT_EQ(model.events(), before);
    EXPECT_TRUE(model.validationErrors(stranger).isEmpty());
    EXPECT_FALSE(model.badge(EventField::title, stranger).has_value());
}

TEST(ConfirmPanelViewModel, UpdatingDoesNotReachACopyOfTheList) {
    ConfirmPanelViewModel model({sampleEvent()});
    const QList<EditableEvent> copy = model.events();
    model.update(sampleEvent(u"changed"_s), copy.first().id);
    EXPECT_EQ(copy.first().event.title, u"Review");
    EXPECT_EQ(model.events().first().event.title, u"changed");
}

TEST(ConfirmPanelViewModel, DefaultDestinationIsTheFirstCalendarOnlyWhenUnset) {
    ConfirmPanelViewModel model({sampleEvent()});
    model.applyDefaultDestination({});
    EXPECT_FALSE(model.destinationCalendarID().has_value());
    EXPECT_TRUE(model.canWrite());
    EXPECT_FALSE(model.readyToWrite());
    const QList<CalendarChoice> calendars{{u"A"_s, u"A"_s, u"#888888"_s},
                                          {u"B"_s, u"B"_s, u"#888888"_s}};
    model.applyDefaultDestination(calendars);
    EXPECT_EQ(model.destinationCalendarID(), u"A"_s);
    EXPECT_TRUE(model.readyToWrite());
    model.setIncluded(false, model.selectedEventID());
    EXPECT_FALSE(model.readyToWrite());
    model.setDestinationCalendarID(u"B"_s);
    model.applyDefaultDestination(calendars);
    EXPECT_EQ(model.destinationCalendarID(), u"B"_s);
}

// The form loads an event's reminder, repeat and availability into its three lists and saves the
// selection back: a value the lists hold comes back as it was, any other as the first item (no
// reminder, no repeat, busy). Selections outside the lists save none.
TEST(ConfirmOptions, LoadingThenSavingKeepsKnownValuesAndReplacesUnknownOnes) {
    struct Values {
        std::optional<qint64> reminder;
        std::optional<QString> repeat;
        std::optional<QString> availability;
    };
    const std::pair<Values, Values> cases[] = {
        {{0, u"weekly"_s, u"tentative"_s}, {0, u"weekly"_s, u"tentative"_s}},
        {{1440, u"yearly"_s, u"free"_s}, {1440, u"yearly"_s, u"free"_s}},
        {{15, u"biweekly"_s, std::nullopt}, {std::nullopt, std::nullopt, u"busy"_s}},
        {{std::nullopt, u"Weekly"_s, u"away"_s}, {std::nullopt, std::nullopt, u"busy"_s}},
    };
    for (const auto& [given, saved] : cases) {
        SCOPED_TRACE(given.repeat->toStdString());
        ExtractedEvent event = sampleEvent();
        event.reminderMinutes = given.reminder;
        event.recurrence = given.repeat;
        event.availability = given.availability;
        ConfirmOptions::applyReminderTag(
            event, ConfirmOptions::reminderTag(ConfirmOptions::reminderIndex(event)));
        ConfirmOptions::applyRepeatIndex(event, ConfirmOptions::repeatIndex(event));
        ConfirmOptions::applyAvailabilityIndex(event, ConfirmOptions::availabilityIndex(event));
        EXPECT_EQ(event.reminderMinutes, saved.reminder);
        EXPECT_EQ(event.recurrence, saved.repeat);
        EXPECT_EQ(event.availability, saved.availability);
    }

    ExtractedEvent event = sampleEvent();
    event.recurrence = u"daily"_s;
    event.availability = u"free"_s;
    event.reminderMinutes = 5;
    ConfirmOptions::applyRepeatIndex(event, 5);
    ConfirmOptions::applyAvailabilityIndex(event, -1);
    ConfirmOptions::applyReminderTag(event, ConfirmOptions::reminderTag(99));
    EXPECT_FALSE(event.recurrence.has_value());
    EXPECT_FALSE(event.availability.has_value());
    EXPECT_FALSE(event.reminderMinutes.has_value());
}
