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
    return ConfirmPanelViewModel({sampleEvent(QStringLiteral("a")),
                                  sampleEvent(QStringLiteral("b")),
                                  sampleEvent(QStringLiteral("c"))});
}

}  // namespace

TEST(ConfirmPanelViewModel, WrapsEveryEventIncludedWithDistinctIdsAndSelectsTheFirst) {
    const ConfirmPanelViewModel model = threeEvents();
    ASSERT_EQ(model.events().size(), 3);
    QSet<QUuid> ids;
    for (const EditableEvent& entry : model.events()) {
        EXPECT_TRUE(entry.isIncluded);
        EXPECT_FALSE(entry.id.isNull());
        ids.insert(entry.id);
    }
    EXPECT_EQ(ids.size(), 3);
    EXPECT_EQ(model.selectedEventID(), model.events().first().id);
    EXPECT_FALSE(model.destinationCalendarID().has_value());
    EXPECT_EQ(model.events().at(1).event.title, u"b");
    EXPECT_EQ(model.includedEvents().size(), 3);
}

TEST(ConfirmPanelViewModel, ValidationOrderAndJoinedMessages) {
    ConfirmPanelViewModel model({sampleEvent()});
    const QUuid id = model.selectedEventID();
    ExtractedEvent event = sampleEvent(QStringLiteral(" \n\t "));
    model.update(event, id);
    EXPECT_EQ(model.validationErrors(id), QList<VE>{VE::emptyTitle});
    event.title = QStringLiteral("  inner text \n");
    event.endDate = event.startDate;
    model.update(event, id);
    EXPECT_EQ(model.validationErrors(id), QList<VE>{VE::endNotAfterStart});
    event.endDate = event.startDate.addSecs(1);
    model.update(event, id);
    EXPECT_TRUE(model.validationErrors(id).isEmpty());
    EXPECT_TRUE(model.selectedMessages().isEmpty());
    // Years a calendar cannot hold (libical writes a far end as a null date).
    for (const QDate day : {QDate(4052, 12, 11), QDate(1899, 12, 31)}) {
        ExtractedEvent far = event;
        (day.year() > 2000 ? far.endDate : far.startDate) = QDateTime(day, QTime(12, 0));
        model.update(far, id);
        EXPECT_EQ(model.validationErrors(id), QList<VE>{VE::outsideYears}) << day.year();
        EXPECT_EQ(model.selectedMessages(), u"日期须在 1900 至 2999 年之间");
    }

    event.title.clear();
    event.endDate = event.startDate.addSecs(-60);
    event.allDay = true;  // the checks ignore the all-day flag
    model.update(event, id);
    EXPECT_EQ(model.validationErrors(id), (QList<VE>{VE::emptyTitle, VE::endNotAfterStart}));
    EXPECT_EQ(model.selectedMessages(), u"标题不能为空；结束时间必须晚于开始时间");
    EXPECT_FALSE(model.canWrite());
    model.setIncluded(false, id);
    EXPECT_TRUE(model.selectedMessages().isEmpty());
}

TEST(ConfirmPanelViewModel, ExcludedEventsAreNotValidatedNorWritten) {
    ConfirmPanelViewModel model = threeEvents();
    const QUuid second = model.events().at(1).id;
    model.update(sampleEvent(QString()), second);
    EXPECT_FALSE(model.canWrite());
    model.setIncluded(false, second);
    EXPECT_TRUE(model.canWrite());
    EXPECT_EQ(model.includedEvents(), (QList<ExtractedEvent>{sampleEvent(QStringLiteral("a")),
                                                             sampleEvent(QStringLiteral("c"))}));
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
    model.update(sampleEvent(QStringLiteral("changed")), copy.first().id);
    EXPECT_EQ(copy.first().event.title, u"Review");
    EXPECT_EQ(model.events().first().event.title, u"changed");
}

TEST(ConfirmPanelViewModel, BadgesFollowTheFieldOrigins) {
    ExtractedEvent event = sampleEvent();
    event.fieldOrigins = {{EventField::endDate, FieldOrigin::defaulted},
                          {EventField::location, FieldOrigin::inferred},
                          {EventField::title, FieldOrigin::source}};
    const ConfirmPanelViewModel model({event});
    const QUuid id = model.selectedEventID();
    EXPECT_EQ(model.badge(EventField::endDate, id), u"默认"_s);
    EXPECT_EQ(model.badge(EventField::location, id), u"推断"_s);
    EXPECT_FALSE(model.badge(EventField::title, id).has_value());
    EXPECT_FALSE(model.badge(EventField::notes, id).has_value());
}

TEST(ConfirmPanelViewModel, DefaultDestinationIsTheFirstCalendarOnlyWhenUnset) {
    ConfirmPanelViewModel model({sampleEvent()});
    model.applyDefaultDestination({});
    EXPECT_FALSE(model.destinationCalendarID().has_value());
    EXPECT_TRUE(model.canWrite());
    EXPECT_FALSE(model.readyToWrite());
    const CalendarChoice a{QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("#888888")};
    const CalendarChoice b{QStringLiteral("B"), QStringLiteral("B"), QStringLiteral("#888888")};
    model.applyDefaultDestination({a, b});
    EXPECT_EQ(model.destinationCalendarID(), u"A"_s);
    EXPECT_TRUE(model.readyToWrite());
    model.setIncluded(false, model.selectedEventID());
    EXPECT_FALSE(model.readyToWrite());
    model.setDestinationCalendarID(QStringLiteral("B"));
    model.applyDefaultDestination({a, b});
    EXPECT_EQ(model.destinationCalendarID(), u"B"_s);
}

TEST(ConfirmOptions, LoadingThenSavingKeepsKnownValuesAndReplacesUnknownOnes) {
    // Loads the event into the three lists and saves the selection back, as the form does.
    const auto roundTrip = [](ExtractedEvent event) {
        ConfirmOptions::applyReminderTag(
            event, ConfirmOptions::reminderTag(ConfirmOptions::reminderIndex(event)));
        ConfirmOptions::applyRepeatIndex(event, ConfirmOptions::repeatIndex(event));
        ConfirmOptions::applyAvailabilityIndex(event, ConfirmOptions::availabilityIndex(event));
        return event;
    };
    ExtractedEvent event = sampleEvent();
    event.reminderMinutes = 15;
    event.recurrence = QStringLiteral("biweekly");
    EXPECT_EQ(ConfirmOptions::reminderIndex(event), 0);
    EXPECT_EQ(ConfirmOptions::repeatIndex(event), 0);
    EXPECT_EQ(ConfirmOptions::availabilityIndex(event), 0);
    ExtractedEvent saved = roundTrip(event);
    EXPECT_FALSE(saved.reminderMinutes.has_value());
    EXPECT_FALSE(saved.recurrence.has_value());
    EXPECT_EQ(saved.availability, u"busy"_s);

    event.reminderMinutes = 0;
    event.recurrence = QStringLiteral("weekly");
    event.availability = QStringLiteral("tentative");
    EXPECT_EQ(ConfirmOptions::reminderIndex(event), 1);
    EXPECT_EQ(ConfirmOptions::repeatIndex(event), 2);
    EXPECT_EQ(ConfirmOptions::availabilityIndex(event), 2);
    EXPECT_EQ(roundTrip(event), event);

    event.reminderMinutes.reset();
    event.recurrence = QStringLiteral("Weekly");
    event.availability = QStringLiteral("away");
    saved = roundTrip(event);
    EXPECT_FALSE(saved.recurrence.has_value());
    EXPECT_EQ(saved.availability, u"busy"_s);
    EXPECT_EQ(ConfirmOptions::reminderTag(0), -1);
    EXPECT_EQ(ConfirmOptions::reminderTag(7), 1440);
}

TEST(ConfirmOptions, IndexesOutsideTheTablesGiveNone) {
    ExtractedEvent event = sampleEvent();
    event.recurrence = QStringLiteral("daily");
    event.availability = QStringLiteral("free");
    event.reminderMinutes = 5;
    ConfirmOptions::applyRepeatIndex(event, 5);
    ConfirmOptions::applyAvailabilityIndex(event, -1);
    ConfirmOptions::applyReminderTag(event, ConfirmOptions::reminderTag(99));
    EXPECT_FALSE(event.recurrence.has_value());
    EXPECT_FALSE(event.availability.has_value());
    EXPECT_FALSE(event.reminderMinutes.has_value());
}
