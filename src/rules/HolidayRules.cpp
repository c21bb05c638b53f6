// Holidays: fixed days of the Gregorian year ("MM-DD") and days of the Chinese lunar year
// ("lunar MM-DD"), the latter worked out with ICU's Chinese calendar.

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <QHash>
#include <QMutex>
#include <QStringList>
#include <functional>
#include <memory>

#include "rules/Mentions.h"

namespace zorbel::rules {

namespace {

/// The Gregorian day of lunar month/day in the lunar year that begins in `gregorianYear`.
/// Chinese calendar days are counted in China's time (UTC+8).
QDate lunarDay(int gregorianYear, int month, int day) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icu::TimeZone::createTimeZone("Asia/Shanghai"),
                                      icu::Locale("zh_CN@calendar=chinese"), status));
    if (U_FAILURE(status)) return {};
    // Midsummer lies in the lunar year that began in the same winter or spring.
    const QDateTime midsummer(QDate(gregorianYear, 6, 1), QTime(12, 0), Qt::UTC);
    calendar->setTime(static_cast<UDate>(midsummer.toMSecsSinceEpoch()), status);
    const int era = calendar->get(UCAL_ERA, status);
    const int year = calendar->get(UCAL_YEAR, status);
    calendar->clear();
    calendar->set(UCAL_ERA, era);
    calendar->set(UCAL_YEAR, year);
    calendar->set(UCAL_MONTH, month - 1);
    calendar->set(UCAL_IS_LEAP_MONTH, 0);
    calendar->set(UCAL_DATE, day);
    calendar->set(UCAL_HOUR_OF_DAY, 12);
    const UDate when = calendar->getTime(status);
    if (U_FAILURE(status)) return {};
    const QDateTime instant =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(when), Qt::OffsetFromUTC, 8 * 3600);
    return instant.date();
}

/// lunarDay, remembered: the astronomy behind it is far slower than the rest of the rules.
QDate cachedLunarDay(int gregorianYear, int month, int day) {
    static QMutex mutex;
    static QHash<qint64, QDate> known;
    const qint64 key = (qint64(gregorianYear) * 100 + month) * 100 + day;
    const QMutexLocker lock(&mutex);
    const auto found = known.constFind(key);
    if (found != known.constEnd()) return *found;
    const QDate date = lunarDay(gregorianYear, month, day);
    known.insert(key, date);
    return date;
}

/// The `nth` `weekday` (1 = Monday) of `month`; the last one for -1.
QDate nthWeekday(int year, int month, int nth, int weekday) {
    if (nth < 0) {
        const QDate last(year, month, QDate(year, month, 1).daysInMonth());
        return last.addDays(-((last.dayOfWeek() - weekday + 7) % 7));
    }
    const QDate first(year, month, 1);
    return first.addDays((weekday - first.dayOfWeek() + 7) % 7 + 7 * (nth - 1));
}

}  // namespace

std::optional<QDate> holidayOnOrAfter(const QString& rule, const QDate& today) {
    if (!today.isValid()) return std::nullopt;
    std::function<QDate(int)> dayIn;
    // "11/4/4": the fourth Thursday of November.
    if (const QStringList nth = rule.split(u'/'); nth.size() == 3) {
        dayIn = [nth](int year) {
            return nthWeekday(year, nth[0].toInt(), nth[1].toInt(), nth[2].toInt());
        };
    } else {
        const bool lunar = rule.startsWith(QLatin1String("lunar "));
        const QStringList parts = (lunar ? rule.mid(6) : rule).split(u'-');
        if (parts.size() != 2) return std::nullopt;
        const int month = parts[0].toInt();
        const int day = parts[1].toInt();
        dayIn = [=](int year) {
            return lunar ? cachedLunarDay(year, month, day) : QDate(year, month, day);
        };
    }
    for (int year = today.year(); year <= today.year() + 1; ++year) {
        const QDate date = dayIn(year);
        if (date.isValid() && date >= today) return date;
    }
    return std::nullopt;
}

}  // namespace zorbel::rules
