// The tolerant reader of the model's answer.

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "llm/EventReader.h"
#include "support/AppLogger.h"
#include "support/Text.h"

using namespace Qt::Literals::StringLiterals;

namespace zorbel {

namespace {

void logFailure(const char* code) {
    AppLogger::shared().record(AppLogEvent::failure(QLatin1String(code)));
}

/// The first of `keys` whose value is a non-empty string.
std::optional<QString> firstString(const QJsonObject& object,
                                   std::initializer_list<QLatin1StringView> keys) {
    for (const QLatin1StringView key : keys) {
        QString text = object.value(key).toString();
        if (!text.isEmpty()) return text;
    }
    return std::nullopt;
}

/// `count` ASCII digits at `pos` as a number, or -1.
int digits(QStringView text, qsizetype pos, int count) {
    if (pos + count > text.size()) return -1;
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[pos + i].unicode();
        if (c < u'0' || c > u'9') return -1;
        n = n * 10 + (c - u'0');
    }
    return n;
}

/// Wall-clock times of one zone as instants. Between two of the zone's transitions its offset is
/// fixed, so a time at least two days inside the span around the last time Qt converted is that
/// time less the span's offset; no other instant shows it, as no two offsets of a zone differ by
/// two days. Times nearer a transition, which may be skipped or repeated, go to Qt.
class LocalClock {
public:
    explicit LocalClock(QTimeZone zone) : zone_(std::move(zone)) {}

    const QTimeZone& zone() const { return zone_; }

    QDateTime toUtc(QDate date, QTime time) {
        constexpr qint64 epochDay = 2440588;  // the Julian day of 1970-01-01
        const qint64 wall =
            (date.toJulianDay() - epochDay) * 24 * 3600 * 1000LL + time.msecsSinceStartOfDay();
        if (wall - offset_ >= spanFrom_ && wall - offset_ < spanUntil_) {
            return QDateTime::fromMSecsSinceEpoch(wall - offset_, Qt::UTC);
        }
        const QDateTime instant = QDateTime(date, time, zone_).toUTC();
        const qint64 offset = wall - instant.toMSecsSinceEpoch();
        // Only a wall-clock time that exists (not one moved out of a skipped hour) has the offset
        // of its span.
        if (instant.isValid() && zone_.hasTransitions() &&
            offset == zone_.offsetFromUtc(instant) * 1000LL) {
            constexpr qint64 margin = 2 * 24 * 3600 * 1000LL;
            const QDateTime from = zone_.previousTransition(instant.addMSecs(1)).atUtc;
            const QDateTime until = zone_.nextTransition(instant).atUtc;
            offset_ = offset;
            spanFrom_ = from.isValid() ? from.toMSecsSinceEpoch() + margin
                                       : std::numeric_limits<qint64>::min();
            spanUntil_ = until.isValid() ? until.toMSecsSinceEpoch() - margin
                                         : std::numeric_limits<qint64>::max();
        }
        return instant;
    }

private:
    QTimeZone zone_;
    qint64 offset_ = 0;
    // The instants (UTC milliseconds) that are wall-clock time less `offset_`, none at first.
    qint64 spanFrom_ = 0;
    qint64 spanUntil_ = 0;
};

/// A strict internet date-time: "YYYY-MM-DDTHH:MM:SS", then (only when `fractional`) "." and
/// digits, then (only when `zoned`) an offset "+HH:MM" / "-HH:MM". Without a zone the time is
/// the local wall-clock time of that date in the system time zone.
std::optional<QDateTime> readDateTime(QStringView text, bool fractional, bool zoned,
                                      LocalClock& local) {
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) return {};
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':') {
        return {};
    }
    qsizetype pos = 19;
    int milliseconds = 0;
    if (fractional) {
        if (pos >= text.size() || text[pos] != u'.') return {};
        ++pos;
        const qsizetype first = pos;
        int scale = 100;
        while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
            milliseconds += (text[pos].unicode() - u'0') * scale;
            scale /= 10;
            ++pos;
        }
        if (pos == first) return {};
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, milliseconds);
    if (!date.isValid() || !time.isValid()) return {};
    if (!zoned) {
        if (pos != text.size()) return {};
        return local.toUtc(date, time);
    }
    if (pos + 6 != text.size() || (text[pos] != u'+' && text[pos] != u'-') ||
        text[pos + 3] != u':') {
        return {};
    }
    const int offsetHours = digits(text, pos + 1, 2);
    const int offsetMinutes = digits(text, pos + 4, 2);
    if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59) return {};
    const int sign = text[pos] == u'-' ? -1 : 1;
    const qint64 offset = sign * (offsetHours * 3600 + offsetMinutes * 60);
    return QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

/// A date-time as the model writes it. A time ending in "Z" or without an offset is local
/// wall-clock time of its own date (the model is told to write local times); a time with an
/// explicit offset keeps it. Seconds are required, fractional seconds allowed.
std::optional<QDateTime> readEventDate(const QString& text, LocalClock& local) {
    const qsizetype t = text.indexOf(u'T');
    const QStringView timePart = t >= 0 ? QStringView(text).mid(t + 1) : QStringView();
    QStringView body = text;
    bool zoned = false;
    if (text.endsWith(u'Z')) {
        body.chop(1);
    } else if (timePart.contains(u'+') || timePart.contains(u'-')) {
        zoned = true;
    }
    if (auto date = readDateTime(body, false, zoned, local)) return date;
    return readDateTime(body, true, zoned, local);
}

struct OriginKey {
    QLatin1StringView key;
    EventField field;
};

constexpr std::array kOriginKeys{
    OriginKey{"title"_L1, EventField::title},
    OriginKey{"start_time"_L1, EventField::startDate},
    OriginKey{"startTime"_L1, EventField::startDate},
    OriginKey{"end_time"_L1, EventField::endDate},
    OriginKey{"endTime"_L1, EventField::endDate},
    OriginKey{"location"_L1, EventField::location},
    OriginKey{"notes"_L1, EventField::notes},
    OriginKey{"all_day"_L1, EventField::allDay},
    OriginKey{"reminder_minutes"_L1, EventField::reminder},
    OriginKey{"recurrence"_L1, EventField::recurrence},
    OriginKey{"availability"_L1, EventField::availability},
};

QHash<EventField, FieldOrigin> readOrigins(const QJsonValue& value) {
    QHash<EventField, FieldOrigin> origins;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString()) continue;
        const std::optional<FieldOrigin> origin = fieldOriginFromRawValue(it.value().toString());
        if (!origin) continue;
        const QString key = it.key();
        const auto entry = std::find_if(kOriginKeys.begin(), kOriginKeys.end(),
                                        [&](const OriginKey& e) { return key == e.key; });
        if (entry != kOriginKeys.end()) origins.insert(entry->field, *origin);
    }
    return origins;
}

/// A non-empty string, lower-cased, kept only when it is one of `allowed`.
std::optional<QString> readWord(const QJsonValue& value,
                                std::initializer_list<QLatin1StringView> allowed) {
    const QString word = value.toString().toLower();
    for (const QLatin1StringView candidate : allowed) {
        if (word == candidate) return word;
    }
    return std::nullopt;
}

bool isArrayOfObjects(const QJsonValue& value) {
    if (!value.isArray()) return false;
    const QJsonArray array = value.toArray();
    return std::all_of(array.begin(), array.end(),
                       [](const QJsonValue& item) { return item.isObject(); });
}

std::optional<bool> boolField(const QJsonValue& value) {
    if (value.isBool()) return value.toBool();
    if (!value.isString()) return std::nullopt;
    const QString word = trimSpacesAndTabs(value.toString()).toString().toLower();
    if (word == u"true" || word == u"yes" || word == u"1") return true;
    if (word == u"false" || word == u"no" || word == u"0") return false;
    return std::nullopt;
}

/// A whole number: a JSON number (truncated toward zero) or a string of ASCII digits with an
/// optional sign, spaces and tabs around it. Nothing for any other value.
std::optional<qint64> integerField(const QJsonValue& value) {
    std::optional<qint64> number;
    if (value.isDouble()) {
        const QVariant variant = value.toVariant();
        if (variant.typeId() == QMetaType::LongLong) {
            number = variant.toLongLong();
        } else {
            // Outside [-2^63, 2^63) (or NaN) a truncated double has no 64-bit value.
            const double d = std::trunc(value.toDouble());
            if (d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
                number = static_cast<qint64>(d);
            }
        }
    } else if (value.isString()) {
        const QString string = value.toString();
        const QStringView text = trimSpacesAndTabs(string);
        const qsizetype digitsFrom = !text.isEmpty() && (text[0] == u'+' || text[0] == u'-');
        const bool allDigits =
            text.size() > digitsFrom && std::all_of(text.begin() + digitsFrom, text.end(),
                                                    [](QChar c) { return c >= u'0' && c <= u'9'; });
        bool ok = false;
        const qint64 n = allDigits ? text.toLongLong(&ok) : 0;
        if (ok) number = n;
    }
    return number;
}

std::optional<qint64> reminderField(const QJsonValue& value) {
    const std::optional<qint64> minutes = integerField(value);
    if (!minutes || *minutes == std::numeric_limits<qint64>::min()) return std::nullopt;
    const qint64 before = *minutes < 0 ? -*minutes : *minutes;
    // A reminder further ahead than four weeks is no reminder of this event.
    if (before > maxReminderMinutes) return std::nullopt;
    return before;
}

/// The last day of a repeat: a date "YYYY-MM-DD", or the local date of a date-time as start
/// and end times are read.
std::optional<QDate> untilField(const QJsonValue& value, LocalClock& local) {
    if (!value.isString()) return std::nullopt;
    const QString text = value.toString();
    if (text.size() == 10) {
        const int year = digits(text, 0, 4);
        const int month = digits(text, 5, 2);
        const int day = digits(text, 8, 2);
        const QDate date(year, month, day);
        if (text[4] != u'-' || text[7] != u'-' || year < 0 || month < 0 || day < 0 ||
            !date.isValid()) {
            return std::nullopt;
        }
        return date;
    }
    const std::optional<QDateTime> instant = readEventDate(text, local);
    if (!instant) return std::nullopt;
    return instant->toTimeZone(local.zone()).date();
}

/// The interval and end of a repeating event. An interval outside [1, 999] is brought into it,
/// a count above 999 too; a count below 1 or a bad value is left out. A last day wins over a
/// count.
void readRecurrenceDetails(const QJsonObject& object, LocalClock& local, ExtractedEvent& event) {
    if (const auto interval = integerField(object.value("recurrence_interval"_L1))) {
        event.recurrenceInterval = clampedRecurrenceInterval(*interval);
    }
    if (const auto until = untilField(object.value("recurrence_until"_L1), local)) {
        event.recurrenceEnd = RecurrenceEnd::onDay(*until);
        return;
    }
    const auto count = integerField(object.value("recurrence_count"_L1));
    if (count && *count >= 1) event.recurrenceEnd = RecurrenceEnd::after(*count);
}

}  // namespace

QList<ExtractedEvent> parseEvents(const QString& reply) {
    const qsizetype first = reply.indexOf(u'{');
    const qsizetype last = reply.lastIndexOf(u'}');
    if (first < 0 || last < 0 || last < first) {
        logFailure("noJSON");
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QStringView(reply).sliced(first, last - first + 1).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        logFailure("badJSON");
        return {};
    }
    const QJsonObject object = document.object();
    const QJsonValue events = object.value("events"_L1);
    if (isArrayOfObjects(events)) return parseEventList(events.toArray());
    if (object.contains("title"_L1) && object.contains("start_time"_L1)) {
        return parseEventList(QJsonArray{object});
    }
    logFailure("missingEvents");
    return {};
}

QList<ExtractedEvent> parseEventList(const QJsonArray& objects) {
    QList<ExtractedEvent> events;
    events.reserve(objects.size());
    LocalClock local(QTimeZone::systemTimeZone());
    for (const QJsonValue& item : objects) {
        const QJsonObject object = item.toObject();
        // A title of nothing but control characters is no title.
        std::optional<QString> title = firstString(object, {"title"_L1});
        if (title) *title = withoutControlCharacters(*title);
        if (title && title->isEmpty()) title.reset();
        const std::optional<QString> start =
            firstString(object, {"start_time"_L1, "startTime"_L1, "start"_L1});
        const std::optional<QString> end =
            firstString(object, {"end_time"_L1, "endTime"_L1, "end"_L1});
        std::optional<QDateTime> startDate;
        std::optional<QDateTime> endDate;
        if (title && start && end) {
            startDate = readEventDate(*start, local);
            if (startDate) endDate = readEventDate(*end, local);
        }
        if (!endDate) {
            logFailure("eventItemParse");
            continue;
        }
        ExtractedEvent event;
        event.title = *title;
        event.startDate = *startDate;
        event.endDate = *endDate;
        event.fieldOrigins = readOrigins(object.value("field_origins"_L1));
        event.location = withoutControlCharacters(
            firstString(object, {"location"_L1, "place"_L1}).value_or(QString()));
        event.notes = withoutControlCharacters(
            firstString(object, {"notes"_L1, "note"_L1, "description"_L1}).value_or(QString()));
        event.allDay = boolField(object.value("all_day"_L1)).value_or(false);
        event.reminderMinutes = reminderField(object.value("reminder_minutes"_L1));
        event.recurrence = readWord(object.value("recurrence"_L1),
                                    {"daily"_L1, "weekly"_L1, "monthly"_L1, "yearly"_L1});
        if (event.recurrence) readRecurrenceDetails(object, local, event);
        event.availability =
            readWord(object.value("availability"_L1), {"busy"_L1, "free"_L1, "tentative"_L1});
        events.append(std::move(event));
    }
    return events;
}

}  // namespace zorbel
