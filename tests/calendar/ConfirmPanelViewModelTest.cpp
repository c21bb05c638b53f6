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

// The title, then the order, then the years a calendar can hold (libical writes a far end as a
// null date), then a repeat's last day: the start's own day or later; without a repeat the end
// is no error, and a count never is. The messages are joined; a left-out event has none.
TEST(ConfirmPanelViewModel, ChecksTitleOrderYearsAndRepeatEndAndJoinsTheMessages) {
    const QDateTime start = sampleEvent().startDate;
    const QDateTime end = sampleEvent().endDate;
    const QDate startDay = start.toLocalTime().date();
    const auto noon = [](int year, int month, int day) {
        return QDateTime(QDate(year, month, day), QTime(12, 0));
    };
    const auto until = [&](int days) { return RecurrenceEnd::onDay(startDay.addDays(days)); };
    struct Case {
        QString title;
        QDateTime start;
        QDateTime end;
        QList<VE> errors;
        std::optional<QString> recurrence = {};
        std::optional<RecurrenceEnd> repeatEnd = {};
    };
    const Case cases[] = {
        {u" \n\t "_s, start, end, {VE::emptyTitle}},
        {u"  inner text \n"_s, start, start, {VE::endNotAfterStart}},
        {u"x"_s, start, start.addSecs(1), {}},
        {u"x"_s, start, noon(3000, 1, 1), {VE::outsideYears}},
        {u"x"_s, noon(1899, 12, 31), start, {VE::outsideYears}},
        {u"x"_s, noon(1900, 1, 1), noon(2999, 12, 31), {}},
        {QString(), start, start.addSecs(-60), {VE::emptyTitle, VE::endNotAfterStart}},
        {u"x"_s, start, end, {VE::recurrenceEndsBeforeStart}, u"weekly"_s, until(-1)},
        {u"x"_s, start, end, {}, u"weekly"_s, until(0)},
        {u"x"_s, start, end, {}, u"daily"_s, RecurrenceEnd::after(1)},
        {u"x"_s, start, end, {}, std::nullopt, until(-1)},
        {QString(),
         start,
         end,
         {VE::emptyTitle, VE::recurrenceEndsBeforeStart},
         u"daily"_s,
         until(-30)},
    };
    for (const bool allDay : {false, true}) {  // the checks ignore the all-day flag
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "row " << &c - cases << (allDay ? ", all day" : ""));
            ConfirmPanelViewModel model({sampleEvent()});
            const QUuid id = model.selectedEventID();
            ExtractedEvent event = sampleEvent(c.title);
            event.startDate = c.start;
            event.endDate = c.end;
            event.allDay = allDay;
            event.recurrence = c.recurrence;
            event.recurrenceEnd = c.repeatEnd;
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
    EXPECT_EQ(message(VE::recurrenceEndsBeforeStart), u"重复的结束日期不能早于开始日期"_s);
}
