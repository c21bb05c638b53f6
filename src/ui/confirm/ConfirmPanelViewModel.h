#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <optional>

#include "calendar/CalendarTypes.h"
#include "calendar/CalendarWriter.h"
#include "calendar/EventValidationError.h"
#include "ui/confirm/EditableEvent.h"

namespace zorbel {

/// The model behind the review of candidate events: their identities, include flags and values,
/// the event being edited and the destination calendar. No user interface; GUI thread only.
class ConfirmPanelViewModel {
public:
    /// The most events one review holds; a reply with more is cut there and the rest counted.
    static constexpr qsizetype kMaxEvents = 100;

    /// Wraps each of the first `kMaxEvents` events, in order, with a new id, included; the
    /// first is selected. `events` is never empty (an empty result never opens the review).
    explicit ConfirmPanelViewModel(const QList<ExtractedEvent>& events);

    /// How many events were left out for being over `kMaxEvents`.
    qsizetype omittedCount() const { return m_omittedCount; }
    /// "另有 n 个日程超出单次上限（100 个），未列出", or empty when nothing was left out.
    QString omittedMessage() const;

    const QList<EditableEvent>& events() const { return m_events; }
    QUuid selectedEventID() const { return m_selectedEventID; }
    void setSelectedEventID(const QUuid& id) { m_selectedEventID = id; }
    const std::optional<QString>& destinationCalendarID() const { return m_destination; }
    void setDestinationCalendarID(const std::optional<QString>& id) { m_destination = id; }

    /// Sets the destination to the first of `calendars` when none is chosen yet.
    void applyDefaultDestination(const QList<CalendarChoice>& calendars);

    /// The values of the included events, in list order.
    QList<ExtractedEvent> includedEvents() const;
    /// The same with the UID each is written under: the entry's id, so that writing it again
    /// after a failed try does not write it twice. Entries that change an event the calendar
    /// holds are not among them.
    QList<EventToWrite> includedToWrite() const;
    /// The included entries that move or cancel an event the calendar holds, with their values.
    QList<EventChange> includedChanges() const;
    /// Whether the entry moves or cancels an existing event, and whether it is to (the default)
    /// rather than be added as a new event.
    bool hasChange(const QUuid& eventID) const { return m_changes.contains(eventID); }
    bool appliesChange(const QUuid& eventID) const;
    void setAppliesChange(const QUuid& eventID, bool applies);
    /// Takes in the outcome of writing `includedToWrite()`: written entries are left out from
    /// now on and noted "已写入", failed ones noted "写入失败" and kept; when any failed, the
    /// panel says "已写入 n/m，未写入的可重试" (written so far of written and failed).
    void recordWrite(const WriteReceipt& receipt);
    /// How many entries earlier writes of this review wrote.
    qsizetype writtenCount() const { return m_writtenCount; }
    /// Changes the include flag of the entry `eventID`; an unknown id changes nothing.
    void setIncluded(bool included, const QUuid& eventID);
    /// Replaces the values of the entry `eventID` whole; an unknown id changes nothing.
    void update(const ExtractedEvent& event, const QUuid& eventID);

    /// The entry's errors, `emptyTitle` first; empty for a valid event or an unknown id.
    QList<EventValidationError> validationErrors(const QUuid& eventID) const;
    /// Where a field's value came from when the text did not state it (inferred or defaulted);
    /// nothing for a stated or unmarked field or an unknown id.
    std::optional<FieldOrigin> badgeOrigin(EventField field, const QUuid& eventID) const;
    /// Its badge: "推断" for an inferred field, "默认" for a defaulted one.
    std::optional<QString> badge(EventField field, const QUuid& eventID) const;

    /// Whether the write action is enabled: no included event has errors (excluded events are
    /// not checked).
    bool canWrite() const;
    /// Whether (`includedEvents`, `destinationCalendarID`) may be handed on for writing: the
    /// write action is enabled, at least one event is included and a destination is set.
    bool readyToWrite() const;
    /// The selected event's messages joined by "；" when it is included and not valid; else the
    /// write's outcome, its calendar note or the calendar check's message, the first not empty.
    QString selectedMessages() const;

    /// What the destination calendar holds around the events (`comparison.matches` one per
    /// event, in order), or nothing when it could not be read. Replaces any earlier one. Among
    /// several events, one already in the calendar is left out of the write; a single event
    /// (which has no tick box) stays in, and its note says so.
    void setComparison(const std::optional<CalendarComparison>& comparison);
    /// The entry's note about the calendar: "已在日历中", "与「<标题>」时间冲突", "更新：<旧时间> →
    /// <新时间>", "取消原日程" or, for a change the user turned down, "另建新日程"; empty
    /// otherwise.
    QString calendarNote(const QUuid& eventID) const;
    /// "未能核对日历中已有的日程" when the calendar could not be read; empty otherwise.
    QString calendarCheckMessage() const;

private:
    static QString changeNote(const EventChange& change, const ExtractedEvent& event);
    qsizetype indexOf(const QUuid& id) const;
    const EditableEvent* find(const QUuid& id) const;
    EditableEvent* find(const QUuid& id);

    QList<EditableEvent> m_events;
    qsizetype m_omittedCount = 0;
    QUuid m_selectedEventID;
    std::optional<QString> m_destination;
    QHash<QUuid, QString> m_calendarNotes;
    QHash<QUuid, EventChange> m_changes;  ///< what each changing entry concerns
    QSet<QUuid> m_addedAsNew;             ///< changes turned down
    QString m_writeMessage;
    qsizetype m_writtenCount = 0;
    bool m_calendarUnchecked = false;
};

}  // namespace zorbel
