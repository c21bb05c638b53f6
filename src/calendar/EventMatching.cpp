#include "calendar/EventMatching.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstdlib>

#include "calendar/ICalendarMapping.h"

namespace zorbel {

const char* caseName(CalendarRelation relation) {
    switch (relation) {
        case CalendarRelation::none:
            return "none";
        case CalendarRelation::alreadyThere:
            return "alreadyThere";
        case CalendarRelation::moves:
            return "moves";
        case CalendarRelation::cancels:
            return "cancels";
        case CalendarRelation::overlaps:
            return "overlaps";
    }
    return "none";
}

namespace EventMatching {

namespace {

// A word counts unless a negation stands right before it (「不取消」, "not cancelled").
bool mentions(const QString& text, const QRegularExpression& words) {
    static const QRegularExpression negated(
        QStringLiteral("(不|未|没有|没|not\\s+|n't\\s+(be\\s+)?)$"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QRegularExpressionMatch& match : words.globalMatch(text)) {
        const QString before = text.left(match.capturedStart()).right(16);
        if (!negated.match(before).hasMatch()) return true;
    }
    return false;
}

QDate allDayFirstDay(const ExtractedEvent& event) {
    return ICalendarMapping::allDaySpan(event.startDate, event.endDate).firstDay;
}

/// The same start: the same instant for timed events, the same day for all-day ones. An all-day
/// candidate on the day of a timed event names that day only, so it starts with it too.
bool sameStart(const ExtractedEvent& candidate, const ExistingEvent& existing) {
    if (!candidate.allDay) return !existing.allDay && candidate.startDate == existing.start;
    return allDayFirstDay(candidate) == existing.start.toLocalTime().date();
}

qint64 distanceSecs(const ExtractedEvent& candidate, const ExistingEvent& existing) {
    return std::abs(candidate.startDate.secsTo(existing.start));
}

/// The existing event with a matching title nearest in time to `candidate` within the change
/// window that `accept` takes, or -1.
template <typename Accept>
qsizetype nearestNamesake(const ExtractedEvent& candidate, const QList<ExistingEvent>& existing,
                          Accept accept) {
    qsizetype best = -1;
    qint64 bestDistance = changeWindowDays * 86400 + 1;
    for (qsizetype i = 0; i < existing.size(); ++i) {
        const qint64 distance = distanceSecs(candidate, existing[i]);
        if (distance < bestDistance && accept(existing[i]) &&
            titlesMatch(candidate.title, existing[i].title)) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

qsizetype earliestOverlap(const ExtractedEvent& candidate, const QList<ExistingEvent>& existing) {
    if (candidate.allDay) return -1;
    const QDateTime end = std::max(candidate.endDate, candidate.startDate.addSecs(60));
    qsizetype best = -1;
    for (qsizetype i = 0; i < existing.size(); ++i) {
        const ExistingEvent& other = existing[i];
        if (other.allDay || !other.busy) continue;
        if (other.start < end && candidate.startDate < other.end &&
            (best < 0 || other.start < existing[best].start)) {
            best = i;
        }
    }
    return best;
}

CalendarMatch classifyOne(const ExtractedEvent& candidate, const QList<ExistingEvent>& existing) {
    const QString& text = candidate.sourceText;
    const auto any = [](const ExistingEvent&) { return true; };
    if (announcesCancellation(text)) {
        if (const qsizetype i = nearestNamesake(candidate, existing, any); i >= 0) {
            return {CalendarRelation::cancels, i};
        }
    }
    for (qsizetype i = 0; i < existing.size(); ++i) {
        if (sameStart(candidate, existing[i]) && titlesMatch(candidate.title, existing[i].title)) {
            return {CalendarRelation::alreadyThere, i};
        }
    }
    if (announcesChange(text)) {
        const auto elsewhen = [&](const ExistingEvent& e) { return !sameStart(candidate, e); };
        if (const qsizetype i = nearestNamesake(candidate, existing, elsewhen); i >= 0) {
            return {CalendarRelation::moves, i};
        }
    }
    if (const qsizetype i = earliestOverlap(candidate, existing); i >= 0) {
        return {CalendarRelation::overlaps, i};
    }
    return {};
}

}  // namespace

QString normalisedTitle(const QString& title) {
    const QString folded = title.normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString kept;
    kept.reserve(folded.size());
    for (const QChar c : folded) {
        if (!c.isSpace() && !c.isPunct() && !c.isSymbol()) kept += c;
    }
    return kept;
}

bool titlesMatch(const QString& left, const QString& right) {
    const QString a = normalisedTitle(left);
    const QString b = normalisedTitle(right);
    return !a.isEmpty() && !b.isEmpty() && (a.contains(b) || b.contains(a));
}

bool announcesChange(const QString& text) {
    static const QRegularExpression words(
        QStringLiteral(
            "改到|改为|改成|改在|调整到|调整为|调整至|推迟到|推迟至|提前到|提前至|延期到|"
            "延期至|顺延到|顺延至|改期|\\bmoved\\s+to\\b|\\bmoved\\s+from\\b|"
            "\\breschedul|\\bpostponed\\b|\\bbrought\\s+forward\\b|\\bnow\\s+at\\b|"
            "\\bpushed\\s+(back\\s+)?to\\b|\\bchanged\\s+to\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return mentions(text, words);
}

bool announcesCancellation(const QString& text) {
    static const QRegularExpression words(
        QStringLiteral("取消|停开|停课|不再举行|\\bcancell?ed\\b|\\bcalled\\s+off\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return mentions(text, words);
}

Range readingRange(const QList<ExtractedEvent>& candidates) {
    if (candidates.isEmpty()) return {};
    QDateTime from = candidates.first().startDate;
    QDateTime to = candidates.first().endDate;
    bool changes = false;
    for (const ExtractedEvent& candidate : candidates) {
        from = std::min(from, candidate.startDate);
        to = std::max({to, candidate.endDate, candidate.startDate});
        changes = changes || announcesChange(candidate.sourceText) ||
                  announcesCancellation(candidate.sourceText);
    }
    const qint64 days = changes ? changeWindowDays : 1;
    return {from.addDays(-days), to.addDays(days)};
}

bool isChange(const CalendarMatch& match, const QList<ExistingEvent>& existing) {
    return (match.relation == CalendarRelation::moves ||
            match.relation == CalendarRelation::cancels) &&
           match.existing >= 0 && match.existing < existing.size() &&
           !existing[match.existing].recurring;
}

QList<CalendarMatch> classify(const QList<ExtractedEvent>& candidates,
                              const QList<ExistingEvent>& existing) {
    QList<CalendarMatch> matches;
    matches.reserve(candidates.size());
    for (const ExtractedEvent& candidate : candidates) {
        matches.append(classifyOne(candidate, existing));
    }
    return matches;
}

}  // namespace EventMatching

}  // namespace zorbel
