#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

namespace zorbel {

/// The event fields that carry an origin.
enum class EventField {
    title,
    startDate,
    endDate,
    location,
    notes,
    allDay,
    reminder,
    recurrence,
    availability,
};

/// The case name ("startDate", "reminder", ...), as tools print origins.
const char* caseName(EventField field);

/// Where a field's value came from, as the model reports it.
enum class FieldOrigin {
    source,     ///< "source": the text states it
    inferred,   ///< "inferred": the model inferred it
    defaulted,  ///< "default": a rule default (one hour, busy)
};

/// The wire string ("source", "inferred", "default").
QString rawValue(FieldOrigin origin);
/// The origin whose wire string is exactly `raw` (case-sensitive), or nothing.
std::optional<FieldOrigin> fieldOriginFromRawValue(const QString& raw);

/// The longest reminder lead kept: four weeks, in minutes.
inline constexpr qint64 maxReminderMinutes = 40320;

/// The most repetitions of a repeat rule, and the longest step between two of them.
inline constexpr int maxRecurrenceInterval = 999;
inline constexpr int maxRecurrenceCount = 999;

/// Where a repeating event stops: on a last day (`until` valid, `count` 0) or after a number of
/// occurrences (`count` in [1, maxRecurrenceCount], `until` invalid).
struct RecurrenceEnd {
    QDate until;
    int count = 0;

    /// Ends with the occurrences on `day`, the day in the event's own time zone.
    static RecurrenceEnd onDay(const QDate& day) { return {day, 0}; }
    /// Ends after `occurrences`, brought into [1, maxRecurrenceCount].
    static RecurrenceEnd after(qint64 occurrences);

    bool operator==(const RecurrenceEnd&) const = default;
};

/// `interval` brought into [1, maxRecurrenceInterval].
int clampedRecurrenceInterval(qint64 interval);

/// One candidate event. Instants are QDateTime values in UTC.
struct ExtractedEvent {
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    QString location;
    QString notes;
    bool allDay = false;
    std::optional<qint64> reminderMinutes;       ///< in [0, maxReminderMinutes] after parsing
    std::optional<QString> recurrence;           ///< "daily", "weekly", "monthly" or "yearly"
    int recurrenceInterval = 1;                  ///< every N units of `recurrence`, in [1, 999]
    std::optional<RecurrenceEnd> recurrenceEnd;  ///< none: repeats without end
    std::optional<QString> availability;         ///< "busy", "free" or "tentative"
    QString sourceText;
    QHash<EventField, FieldOrigin> fieldOrigins;

    bool operator==(const ExtractedEvent&) const = default;

    /// The UTC offset of the current instant in the system time zone, "+08:00" / "-05:00" /
    /// "+05:45" (leftover seconds dropped). Computed at each call, so it follows a daylight
    /// saving change while the program runs.
    static QString localOffset();
    /// The same for a given instant.
    static QString offsetText(int offsetSeconds);
};

}  // namespace zorbel
