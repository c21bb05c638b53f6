#include <gtest/gtest.h>

#include "testkit/CalendarTestEvents.h"
#include "ui/confirm/ConfirmPanelViewModel.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::sampleEvent;

namespace {

CalendarComparison comparison(QList<CalendarRelation> relations) {
    CalendarComparison made;
    ExistingEvent visit;
    visit.title = u"客户拜访"_s;
    made.existing.append(visit);
    for (const CalendarRelation relation : relations) {
        made.matches.append({relation, relation == CalendarRelation::none ? -1 : 0});
    }
    return made;
}

QStringList notes(const ConfirmPanelViewModel& model) {
    QStringList all;
    for (const EditableEvent& entry : model.events()) all.append(model.calendarNote(entry.id));
    return all;
}

}  // namespace

TEST(ConfirmComparison, WhatTheCalendarHoldsIsUntickedOrNotedAndAReadingReplacesTheLast) {
    ConfirmPanelViewModel model({sampleEvent(u"a"_s), sampleEvent(u"b"_s), sampleEvent(u"c"_s)});
    model.setComparison(comparison(
        {CalendarRelation::alreadyThere, CalendarRelation::overlaps, CalendarRelation::none}));
    EXPECT_EQ(notes(model), (QStringList{u"已在日历中"_s, u"与「客户拜访」时间冲突"_s, QString()}));
    EXPECT_EQ(model.includedEvents(),
              (QList<ExtractedEvent>{sampleEvent(u"b"_s), sampleEvent(u"c"_s)}));
    EXPECT_EQ(model.selectedMessages(), u"已在日历中"_s) << "the note of the selected event";
    EXPECT_TRUE(model.calendarCheckMessage().isEmpty());

    // Another calendar, which could not be read: the notes go, the check says so.
    model.setComparison(std::nullopt);
    EXPECT_EQ(notes(model), (QStringList{QString(), QString(), QString()}));
    EXPECT_EQ(model.selectedMessages(), u"未能核对日历中已有的日程"_s);

    // A validation error comes before any note.
    ExtractedEvent untitled = sampleEvent(u"b"_s);
    untitled.title.clear();
    model.setSelectedEventID(model.events().at(1).id);
    model.update(untitled, model.events().at(1).id);
    EXPECT_EQ(model.selectedMessages(), u"标题不能为空"_s);
}

TEST(ConfirmComparison, ASingleEventAlreadyThereStaysInAndSaysSo) {
    ConfirmPanelViewModel model({sampleEvent(u"a"_s)});
    model.setComparison(comparison({CalendarRelation::alreadyThere}));
    EXPECT_EQ(model.includedEvents().size(), 1) << "a single event has no tick box to undo it";
    EXPECT_EQ(model.selectedMessages(), u"已在日历中"_s);
    model.applyDefaultDestination({{u"Zorbel"_s, u"Zorbel"_s, u"#888888"_s}});
    EXPECT_TRUE(model.readyToWrite());
}
