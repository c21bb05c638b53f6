#include <gtest/gtest.h>

#include "testkit/CalendarTestEvents.h"
#include "ui/confirm/ConfirmPanelViewModel.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;
using VE = zorbel::EventValidationError;

// The panel lists the first hundred events and counts the rest.
TEST(ConfirmPanelViewModel, KeepsTheFirstHundredEventsAndCountsTheRest) {
    QList<ExtractedEvent> many;
    for (int i = 0; i < 151; ++i) many.append(sampleEvent(QString::number(i)));
    const ConfirmPanelViewModel cut(many);
    ASSERT_EQ(cut.events().size(), 100);
    EXPECT_EQ(cut.events().last().event.title, u"99"_s);
    EXPECT_EQ(cut.omittedMessage(), u"另有 51 个日程超出单次上限（100 个），未列出"_s);
    EXPECT_EQ(ConfirmPanelViewModel(many.first(100)).omittedMessage(), QString());
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

// A repeat's last day may be the start's own day but not one before it; without a repeat the
// end is no error, and a count never is.
TEST(ConfirmPanelViewModel, ARepeatMayNotEndBeforeTheDayItStarts) {
    const QDate startDay = sampleEvent().startDate.toLocalTime().date();
    struct Case {
        std::optional<QString> recurrence;
        RecurrenceEnd end;
        QList<VE> errors;
    };
    const Case cases[] = {
        {u"weekly"_s, RecurrenceEnd::onDay(startDay.addDays(-1)), {VE::recurrenceEndsBeforeStart}},
        {u"weekly"_s, RecurrenceEnd::onDay(startDay), {}},
        {u"daily"_s, RecurrenceEnd::after(1), {}},
        {std::nullopt, RecurrenceEnd::onDay(startDay.addDays(-1)), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.end.until.toString(Qt::ISODate).toStdString());
        ConfirmPanelViewModel model({sampleEvent()});
        const QUuid id = model.selectedEventID();
        ExtractedEvent event = sampleEvent();
        event.recurrence = c.recurrence;
        event.recurrenceEnd = c.end;
        model.update(event, id);
        EXPECT_EQ(model.validationErrors(id), c.errors);
        EXPECT_EQ(model.canWrite(), c.errors.isEmpty());
    }
    ConfirmPanelViewModel both({sampleEvent()});
    ExtractedEvent event = sampleEvent(QString());
    event.recurrence = u"daily"_s;
    event.recurrenceEnd = RecurrenceEnd::onDay(startDay.addDays(-30));
    both.update(event, both.selectedEventID());
    EXPECT_EQ(both.selectedMessages(), u"标题不能为空；重复的结束日期不能早于开始日期"_s);
}
