#include "ui/confirm/ConfirmPanelViewModel.h"

#include <QStringList>
#include <algorithm>

#include "ui/confirm/ConfirmText.h"

namespace zorbel {

ConfirmPanelViewModel::ConfirmPanelViewModel(const QList<ExtractedEvent>& events)
    : m_omittedCount(std::max<qsizetype>(events.size() - kMaxEvents, 0)) {
    for (const ExtractedEvent& event : events.first(events.size() - m_omittedCount)) {
        m_events.append({QUuid::createUuid(), event, true});
    }
    if (!m_events.isEmpty()) m_selectedEventID = m_events.first().id;
}

QString ConfirmPanelViewModel::omittedMessage() const {
    if (m_omittedCount == 0) return {};
    return ConfirmText::tr("另有 %n 个日程超出单次上限（%1 个），未列出", nullptr,
                           int(m_omittedCount))
        .arg(kMaxEvents);
}

void ConfirmPanelViewModel::applyDefaultDestination(const QList<CalendarChoice>& calendars) {
    if (!m_destination && !calendars.isEmpty()) m_destination = calendars.first().id;
}

QList<ExtractedEvent> ConfirmPanelViewModel::includedEvents() const {
    QList<ExtractedEvent> included;
    for (const EditableEvent& entry : m_events) {
        if (entry.isIncluded) included.append(entry.event);
    }
    return included;
}

void ConfirmPanelViewModel::setIncluded(bool included, const QUuid& eventID) {
    if (EditableEvent* entry = find(eventID)) entry->isIncluded = included;
}

void ConfirmPanelViewModel::update(const ExtractedEvent& event, const QUuid& eventID) {
    if (EditableEvent* entry = find(eventID)) entry->event = event;
}

QList<EventValidationError> ConfirmPanelViewModel::validationErrors(const QUuid& eventID) const {
    const EditableEvent* entry = find(eventID);
    return entry ? zorbel::validationErrors(entry->event) : QList<EventValidationError>{};
}

std::optional<FieldOrigin> ConfirmPanelViewModel::badgeOrigin(EventField field,
                                                              const QUuid& eventID) const {
    const EditableEvent* entry = find(eventID);
    if (!entry) return std::nullopt;
    const auto origin = entry->event.fieldOrigins.constFind(field);
    if (origin == entry->event.fieldOrigins.constEnd() || *origin == FieldOrigin::source) {
        return std::nullopt;
    }
    return *origin;
}

std::optional<QString> ConfirmPanelViewModel::badge(EventField field, const QUuid& eventID) const {
    const std::optional<FieldOrigin> origin = badgeOrigin(field, eventID);
    if (!origin) return std::nullopt;
    return *origin == FieldOrigin::inferred ? ConfirmText::tr("推断") : ConfirmText::tr("默认");
}

bool ConfirmPanelViewModel::canWrite() const {
    return std::none_of(m_events.begin(), m_events.end(), [](const EditableEvent& entry) {
        return entry.isIncluded && !zorbel::validationErrors(entry.event).isEmpty();
    });
}

bool ConfirmPanelViewModel::readyToWrite() const {
    return canWrite() && m_destination && !includedEvents().isEmpty();
}

QString ConfirmPanelViewModel::selectedMessages() const {
    const EditableEvent* entry = find(m_selectedEventID);
    if (!entry) return {};
    QStringList messages;
    if (entry->isIncluded) {
        for (const EventValidationError error : zorbel::validationErrors(entry->event)) {
            messages.append(message(error));
        }
    }
    if (!messages.isEmpty()) return messages.join(ConfirmText::tr("；"));
    for (const QString& message : {m_writeMessage, calendarNote(entry->id)}) {
        if (!message.isEmpty()) return message;
    }
    return calendarCheckMessage();
}

QList<EventToWrite> ConfirmPanelViewModel::includedToWrite() const {
    QList<EventToWrite> included;
    for (const EditableEvent& entry : m_events) {
        if (entry.isIncluded && !appliesChange(entry.id)) {
            included.append({entry.id.toString(QUuid::WithoutBraces), entry.event});
        }
    }
    return included;
}

QList<EventChange> ConfirmPanelViewModel::includedChanges() const {
    QList<EventChange> changes;
    for (const EditableEvent& entry : m_events) {
        if (!entry.isIncluded || !appliesChange(entry.id)) continue;
        EventChange change = m_changes.value(entry.id);
        change.event = entry.event;
        changes.append(change);
    }
    return changes;
}

bool ConfirmPanelViewModel::appliesChange(const QUuid& eventID) const {
    return m_changes.contains(eventID) && !m_addedAsNew.contains(eventID);
}

void ConfirmPanelViewModel::setAppliesChange(const QUuid& eventID, bool applies) {
    const qsizetype i = indexOf(eventID);
    if (i < 0 || !m_changes.contains(eventID)) return;
    if (applies) {
        m_addedAsNew.remove(eventID);
    } else {
        m_addedAsNew.insert(eventID);
    }
    m_calendarNotes.insert(eventID, applies ? changeNote(m_changes[eventID], m_events[i].event)
                                            : ConfirmText::tr("另建新日程"));
}

void ConfirmPanelViewModel::recordWrite(const WriteReceipt& receipt) {
    for (EditableEvent& entry : m_events) {
        const QString uid = entry.id.toString(QUuid::WithoutBraces);
        if (receipt.createdEventIDs.contains(uid) || receipt.changedEventIDs.contains(uid)) {
            entry.isIncluded = false;
            m_calendarNotes.insert(entry.id, ConfirmText::tr("已写入"));
            ++m_writtenCount;
        }
    }
    for (const WriteFailure& failure : receipt.failures) {
        const qsizetype i = indexOf(QUuid::fromString(failure.uid));
        if (i >= 0) m_calendarNotes.insert(m_events[i].id, ConfirmText::tr("写入失败"));
    }
    m_writeMessage = receipt.failures.isEmpty()
                         ? QString()
                         : ConfirmText::tr("已写入 %1/%2，未写入的可重试")
                               .arg(m_writtenCount)
                               .arg(m_writtenCount + receipt.failures.size());
}

namespace {

QString shownTime(const QDateTime& instant, bool allDay) {
    return instant.toLocalTime().toString(allDay ? ConfirmText::tr("M月d日")
                                                 : ConfirmText::tr("M月d日 HH:mm"));
}

}  // namespace

QString ConfirmPanelViewModel::changeNote(const EventChange& change, const ExtractedEvent& event) {
    if (change.cancels) return ConfirmText::tr("取消原日程");
    return ConfirmText::tr("更新：%1 → %2")
        .arg(shownTime(change.existing.start, change.existing.allDay),
             shownTime(event.startDate, event.allDay));
}

void ConfirmPanelViewModel::setComparison(const std::optional<CalendarComparison>& comparison) {
    m_calendarNotes.clear();
    m_changes.clear();
    m_addedAsNew.clear();
    m_calendarUnchecked = !comparison;
    if (!comparison) return;
    for (qsizetype i = 0; i < m_events.size() && i < comparison->matches.size(); ++i) {
        const CalendarMatch& match = comparison->matches[i];
        EditableEvent& entry = m_events[i];
        if (match.relation == CalendarRelation::alreadyThere) {
            m_calendarNotes.insert(entry.id, ConfirmText::tr("已在日历中"));
            if (m_events.size() > 1) entry.isIncluded = false;
        } else if (EventMatching::isChange(match, comparison->existing)) {
            const EventChange change{entry.id.toString(QUuid::WithoutBraces),
                                     match.relation == CalendarRelation::cancels,
                                     comparison->existing[match.existing],
                                     {}};
            m_changes.insert(entry.id, change);
            m_calendarNotes.insert(entry.id, changeNote(change, entry.event));
        } else if (match.relation == CalendarRelation::overlaps) {
            m_calendarNotes.insert(entry.id, ConfirmText::tr("与「%1」时间冲突")
                                                 .arg(comparison->existing[match.existing].title));
        }
    }
}

QString ConfirmPanelViewModel::calendarNote(const QUuid& eventID) const {
    return m_calendarNotes.value(eventID);
}

QString ConfirmPanelViewModel::calendarCheckMessage() const {
    return m_calendarUnchecked ? ConfirmText::tr("未能核对日历中已有的日程") : QString();
}

qsizetype ConfirmPanelViewModel::indexOf(const QUuid& id) const {
    const auto found = std::find_if(m_events.cbegin(), m_events.cend(),
                                    [&](const EditableEvent& entry) { return entry.id == id; });
    return found == m_events.cend() ? -1 : found - m_events.cbegin();
}

const EditableEvent* ConfirmPanelViewModel::find(const QUuid& id) const {
    const qsizetype index = indexOf(id);
    return index < 0 ? nullptr : &m_events.at(index);
}

EditableEvent* ConfirmPanelViewModel::find(const QUuid& id) {
    const qsizetype index = indexOf(id);
    return index < 0 ? nullptr : &m_events[index];  // detaches before the change
}

}  // namespace zorbel
