// The rest of a clause once its days and times are found: where (地点：, 在…会议室, Room 301,
// Venue:, at <Capitalised Place>), reminders (提前15分钟提醒, remind me 10 minutes before),
// repetition (每周, every week), and the title that is left.

#include <QRegularExpression>

#include "rules/Lexicon.h"
#include "rules/Mentions.h"
#include "support/Text.h"

namespace zorbel::rules {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype kMaxTitle = 40;

const Lexicon& words() {
    return Lexicon::shared();
}

QRegularExpression caseless(const QString& pattern) {
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
}

/// The first match of the first expression that matches, with the span to take from the title.
struct Found {
    QRegularExpressionMatch match;
    Span span;
};

/// An expression with a word every match holds (empty: none), looked for first as it is far
/// cheaper than the expression.
struct Cued {
    QString cue;
    QRegularExpression expression;
};

std::optional<Found> firstOf(const QList<Cued>& expressions, const QString& text) {
    for (const auto& [cue, expression] : expressions) {
        if (!cue.isEmpty() && !text.contains(cue, Qt::CaseInsensitive)) continue;
        const auto match = expression.match(text);
        if (match.hasMatch()) return Found{match, {match.capturedStart(), match.capturedEnd()}};
    }
    return std::nullopt;
}

const QList<Cued>& locationExpressions() {
    static const QList<Cued> expressions{
        {{},
         caseless(QStringLiteral(R"((?<![A-Za-z])(?:%1)\s*[:：]\s*(?<place>[^\x01，。；;,]+))")
                      .arg(words().pattern(QStringLiteral("locationLabels"))))},
        {u"room"_s, caseless(QStringLiteral(R"((?<![A-Za-z])(?<place>room\s+[A-Za-z0-9\-]+))"))},
        {u"在"_s,
         QRegularExpression(
             QStringLiteral(R"(在(?<place>[^\x01\s，。；;,、在]{1,20}(?:%1)[A-Za-z0-9\-]*))")
                 .arg(words().pattern(QStringLiteral("placeSuffixes"))))},
        // Matched with its case: a capitalised name after "at".
        {u"at"_s,
         QRegularExpression(QStringLiteral(
             R"((?<![A-Za-z])at\s+(?<place>[A-Z][\w'&\-]*(?:\s+(?:of\s+)?[A-Z0-9][\w'&\-]*){0,4}))"))},
    };
    return expressions;
}

const QList<Cued>& reminderExpressions() {
    static const QString units = words().pattern(QStringLiteral("units"));
    static const QList<Cued> expressions{
        {u"提前"_s,
         QRegularExpression(
             QStringLiteral(
                 R"(提前\s*(?<n>\d{1,4}|[零〇一二两三四五六七八九十]{1,3})\s*(?<u>%1)\s*(?:提醒|通知)?)")
                 .arg(units))},
        {u"remind"_s,
         caseless(QStringLiteral(R"((?<![A-Za-z])remind(?:\s+me)?\s+(?<n>\d{1,4})\s*(?<u>%1))"
                                 R"(\s+(?:before|ahead|early)(?![A-Za-z]))")
                      .arg(units))},
    };
    return expressions;
}

/// `word` begins `text` (as a whole word when it is written in Latin letters).
bool startsWithWord(const QString& text, const QString& word) {
    if (!text.startsWith(word, Qt::CaseInsensitive)) return false;
    return !word.at(0).isLetter() || word.at(0).unicode() > 0x7f || text.size() == word.size() ||
           !text.at(word.size()).isLetter();
}

bool endsWithWord(const QString& text, const QString& word) {
    if (!text.endsWith(word, Qt::CaseInsensitive)) return false;
    const qsizetype before = text.size() - word.size() - 1;
    return !word.at(0).isLetter() || word.at(0).unicode() > 0x7f || before < 0 ||
           !text.at(before).isLetter();
}

bool isNoise(char32_t c) {
    return QChar::isSpace(c) || QChar::isPunct(c) || QChar::isSymbol(c) || c == kMask.unicode() ||
           c == 0xfe0f || c == 0x200d;  // emoji presentation and joiner
}

/// How many UTF-16 units of noise (spaces, punctuation, symbols, emoji) `piece` starts with.
qsizetype noiseAtFront(const QString& piece) {
    if (piece.size() >= 2 && piece[0].isHighSurrogate() && piece[1].isLowSurrogate()) {
        return isNoise(QChar::surrogateToUcs4(piece[0], piece[1])) ? 2 : 0;
    }
    return !piece.isEmpty() && isNoise(piece[0].unicode()) ? 1 : 0;
}

/// The same at its end.
qsizetype noiseAtBack(const QString& piece) {
    const qsizetype n = piece.size();
    if (n >= 2 && piece[n - 2].isHighSurrogate() && piece[n - 1].isLowSurrogate()) {
        return isNoise(QChar::surrogateToUcs4(piece[n - 2], piece[n - 1])) ? 2 : 0;
    }
    return n > 0 && isNoise(piece[n - 1].unicode()) ? 1 : 0;
}

/// The piece ends with the closing bracket of one it opens, as in 年会（全天）.
bool closesBracket(const QString& piece) {
    return (piece.back() == u')' && piece.contains(u'(')) ||
           (piece.back() == u'）' && piece.contains(u'（'));
}

/// The filler and range words, by their first and by their last letter (folded), so that
/// trimming a piece tries only the words that can match.
struct EdgeWords {
    QHash<QChar, QStringList> byFirst;
    QHash<QChar, QStringList> byLast;
};

const EdgeWords& edgeWords() {
    static const EdgeWords edges = [] {
        EdgeWords built;
        for (const QString& word : words().words(QStringLiteral("fillers")) +
                                       words().words(QStringLiteral("rangeWords"))) {
            built.byFirst[word.front().toCaseFolded()].append(word);
            built.byLast[word.back().toCaseFolded()].append(word);
        }
        return built;
    }();
    return edges;
}

/// A piece of the clause without the filler words, range words and punctuation at its edges.
QString trimmedPiece(QString piece) {
    const EdgeWords& edges = edgeWords();
    bool changed = true;
    while (changed && !piece.isEmpty()) {
        changed = false;
        for (qsizetype n = noiseAtFront(piece); n > 0; n = noiseAtFront(piece)) {
            piece.remove(0, n);
            changed = true;
        }
        for (qsizetype n = noiseAtBack(piece); n > 0 && !closesBracket(piece);
             n = noiseAtBack(piece)) {
            piece.chop(n);
            changed = true;
        }
        if (piece.isEmpty()) break;
        for (const QString& filler : edges.byFirst.value(piece.front().toCaseFolded())) {
            if (startsWithWord(piece, filler)) {
                piece.remove(0, filler.size());
                changed = true;
                break;
            }
        }
        if (piece.isEmpty()) break;
        for (const QString& filler : edges.byLast.value(piece.back().toCaseFolded())) {
            if (endsWithWord(piece, filler)) {
                piece.chop(filler.size());
                changed = true;
                break;
            }
        }
    }
    return piece;
}

bool isLatin(QChar c) {
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

/// `text` without brackets whose partner was taken with a date: 4月5日（清明节）闭馆 leaves
/// 清明节）闭馆.
QString withoutStrayBrackets(const QString& text) {
    QString kept;
    QList<qsizetype> open;
    for (const QChar c : text) {
        if (c == u'(' || c == u'（') {
            open.append(kept.size());
        } else if (c == u')' || c == u'）') {
            if (open.isEmpty()) continue;
            open.removeLast();
        }
        kept += c;
    }
    for (qsizetype i = open.size() - 1; i >= 0; --i) kept.remove(open[i], 1);
    return kept;
}

/// The words of `section`, each standing as a word of its own in Latin text.
QRegularExpression wordsOfSection(const QString& section) {
    return caseless(
        QStringLiteral(R"((?<![A-Za-z])(?:%1)(?![A-Za-z]))").arg(words().pattern(section)));
}

/// A count with its unit ("n" and "u" groups), in minutes.
std::optional<qint64> minutesOf(const QRegularExpressionMatch& match) {
    const qint64 unit = words().number(QStringLiteral("units"), match.captured(u"u"));
    const auto count = words().numeral(match.captured(u"n"));
    if (!count || unit <= 0) return std::nullopt;
    return qint64(*count) * unit;
}

/// A count in digits or Chinese numerals.
const QString kCount = QStringLiteral(R"((?:\d{1,3}|[一二两三四五六七八九十]{1,3}))");

/// How many times a repeat every `interval` `unit`s happens in the count `match` read: its
/// number of times, or its span ("for 6 weeks") divided by the step.
std::optional<int> repeatsOf(const QRegularExpressionMatch& match, const QString& unit,
                             int interval) {
    std::optional<int> number;
    for (const QStringView group : {u"n", u"n2", u"n3", u"n4"}) {
        if (!number && match.hasCaptured(group)) number = words().numeral(match.captured(group));
    }
    if (!number || *number < 1) return std::nullopt;
    QString spanUnit = match.captured(u"u3").toLower() + match.captured(u"u4");
    if (spanUnit.isEmpty()) return number;
    static const QHash<QString, int> days{{u"week"_s, 7},   {u"周"_s, 7},       {u"month"_s, 30},
                                          {u"个月"_s, 30},  {u"day"_s, 1},      {u"天"_s, 1},
                                          {u"weekly"_s, 7}, {u"monthly"_s, 30}, {u"daily"_s, 1}};
    const int step = days.value(unit, 0) * interval;
    if (step <= 0) return std::nullopt;
    return std::max(1, *number * days.value(spanUnit) / step);
}

QString titleOf(const QString& text) {
    QString title;
    for (const QString& part : text.split(kMask, Qt::SkipEmptyParts)) {
        const QString piece = withoutStrayBrackets(trimmedPiece(part));
        if (piece.isEmpty()) continue;
        if (!title.isEmpty() && (isLatin(title.back()) || isLatin(piece.front()))) title += u' ';
        title += piece;
    }
    // 闭 馆: a table cell spaced out for width.
    static const QRegularExpression spacedOut(
        QStringLiteral(R"((?<=(?<![\x{4e00}-\x{9fff}])[\x{4e00}-\x{9fff}]) )"
                       R"((?=[\x{4e00}-\x{9fff}](?![\x{4e00}-\x{9fff}])))"));
    title.remove(spacedOut);
    // The days a class meets, written as letters (MWF, TTh), name no event.
    static const QRegularExpression meetingDays(QStringLiteral(R"(^(?:M|Tu?|W|Th|R|F|Sa|Su)+$)"));
    if (title.size() >= 2 && meetingDays.match(title).hasMatch()) return {};
    return leftWhole(title, kMaxTitle).trimmed();
}

}  // namespace

QList<Span> officeHours(const QString& clause) {
    static const QRegularExpression hours(QStringLiteral(R"([(（][^)）]*(?:%1)[^)）]*[)）])")
                                              .arg(words().pattern(QStringLiteral("officeHours"))),
                                          QRegularExpression::CaseInsensitiveOption);
    QList<Span> spans;
    for (auto found = hours.globalMatch(clause); found.hasNext();) {
        const QRegularExpressionMatch match = found.next();
        spans.append({match.capturedStart(), match.capturedEnd()});
    }
    return spans;
}

QString listMarker() {
    return QStringLiteral(
        R"(\s*(?:[•·*\-–]\s|\d{1,2}[.、)）](?!\d)|[一二三四五六七八九十]{1,2}[、.．])"
        R"(|[(（][一二三四五六七八九十\d]{1,2}[)）]))");
}

ClauseDetails readClause(const QString& clause, const QList<Span>& taken) {
    static const QRegularExpression recurrence = wordsOfSection(QStringLiteral("recurrence"));

    // 消费 after a refusal's last character is another word: 听取消费者 refuses nothing.
    static const QRegularExpression undecided(
        QStringLiteral(R"((?:(?<![A-Za-z])(?:%1)(?![A-Za-z]|费)|(?:%2)\s*$))")
            .arg(words().pattern(QStringLiteral("refusals")),
                 words().pattern(QStringLiteral("questionEnds"))),
        QRegularExpression::CaseInsensitiveOption);

    static const QRegularExpression routine = wordsOfSection(QStringLiteral("routine"));

    // Months without days (5月至9月, 10月至次年4月, May to September): the hours of a season.
    static const QRegularExpression season(
        QStringLiteral(
            R"((?:\d{1,2}|[一二三四五六七八九十]{1,2})月\s*(?:%1)\s*(?:次年)?)"
            R"((?:\d{1,2}|[一二三四五六七八九十]{1,2})月)"
            R"((?!\s*(?:\d{1,2}|[一二三四五六七八九十]{1,3})\s*[日号])(?!\d{1,2}+(?![:：]\d)))"
            R"(|(?<![A-Za-z])(?:%2)\s*(?:%1)\s*(?:%2)(?![A-Za-z]))"
            R"((?!\.?\s*\d{1,2}+(?!\s*(?:[ap]\.?\s?m|[:：]\d))))")
            .arg(words().pattern(QStringLiteral("rangeWords")),
                 words().pattern(QStringLiteral("months"))),
        QRegularExpression::CaseInsensitiveOption);

    // A line's label, after its number if it has one: 一、时间：, 2. Topic:
    static const QRegularExpression label(
        QStringLiteral(R"(^\s*(?:[一二三四五六七八九十\d]{1,2}\s*[、.．)）]\s*)?)"
                       R"((?:(?<subject>%1)|(?<what>\p{Han}{0,4}?)(?:%2))\s*[:：])")
            .arg(words().pattern(QStringLiteral("subjectLabels")),
                 words().pattern(QStringLiteral("timeLabels"))),
        QRegularExpression::CaseInsensitiveOption);

    ClauseDetails details;
    QList<Span> used = taken;
    static const QRegularExpression marker(u'^' + listMarker());
    if (const QRegularExpressionMatch item = marker.match(clause); item.hasMatch())
        used.append({0, item.capturedEnd()});
    used.append(officeHours(clause));  // a desk's hours say nothing of the event
    if (const QRegularExpressionMatch labelled = label.match(clause); labelled.hasMatch()) {
        details.subjectLine = labelled.hasCaptured(u"subject");
        // 考试时间： keeps 考试.
        const qsizetype what = labelled.hasCaptured(u"what") ? labelled.capturedStart(u"what")
                                                             : labelled.capturedEnd();
        used.append({labelled.capturedStart(), what});
        used.append({std::max(what, labelled.capturedEnd(u"what")), labelled.capturedEnd()});
    }
    details.undecided = undecided.match(clause).hasMatch();
    details.routine = routine.match(clause).hasMatch() || season.match(clause).hasMatch();
    QString text = masked(clause, used);
    if (const auto found = firstOf(reminderExpressions(), text)) {
        details.reminderMinutes = minutesOf(found->match);
        used.append(found->span);
    }
    // How long it lasts, in hours or minutes (days are the dates' business).
    static const QRegularExpression duration(
        QStringLiteral(
            R"((?:(?<![A-Za-z])(?:about|around|approximately|approx\.|up to|for|lasting)\s+)?)"
            R"((?<![\d.:])(?<n>%2)\s*(?<u>%1)(?![A-Za-z]))")
            .arg(words().pattern(QStringLiteral("units")), kCount),
        QRegularExpression::CaseInsensitiveOption);
    text = masked(clause, used);
    if (const QRegularExpressionMatch found = duration.match(text); found.hasMatch()) {
        const std::optional<qint64> minutes = minutesOf(found);
        const bool days = words().number(QStringLiteral("units"), found.captured(u"u")) >= 1440;
        if (minutes && !days) {
            details.durationMinutes = minutes;
            // 约2小时 / "(about 2 hours)": the words around the count go with it.
            qsizetype start = found.capturedStart();
            if (start > 0 && QStringView(u"约共").contains(text.at(start - 1))) --start;
            used.append({start, found.capturedEnd()});
        }
    }
    // Read where the day is written too: 每周一 is both a weekday and a repetition.
    if (const auto found = firstOf({{{}, recurrence}}, clause)) {
        const QStringList rule = words()
                                     .value(QStringLiteral("recurrence"), found->match.captured())
                                     .value_or(QString())
                                     .split(u'/');
        details.recurrence = rule.first();
        details.recurrenceInterval = rule.size() > 1 ? rule[1].toInt() : 1;
        used.append(found->span);
        // 共8次, "6 sessions", "for 6 weeks", 连续4周: how many times it repeats.
        static const QRegularExpression count(
            QStringLiteral(
                R"((?:共|一共)\s*(?<n>%1)\s*次|(?<![\w.])(?<n2>\w{1,6})\s+)"
                R"((?:times|sessions|occurrences|meetings)(?![A-Za-z]))"
                R"(|(?<![A-Za-z])for\s+(?<n3>\w{1,6})\s+(?<u3>week|month|day)s?(?![A-Za-z]))"
                R"(|(?:连续|共)\s*(?<n4>%1)\s*(?<u4>周|个月|天))")
                .arg(kCount),
            QRegularExpression::CaseInsensitiveOption);
        text = masked(clause, used);
        if (const QRegularExpressionMatch counted = count.match(text); counted.hasMatch()) {
            details.recurrenceCount =
                repeatsOf(counted, *details.recurrence, details.recurrenceInterval);
            if (details.recurrenceCount)
                used.append({counted.capturedStart(), counted.capturedEnd()});
        }
    }
    text = masked(clause, used);
    if (const auto found = firstOf(locationExpressions(), text)) {
        details.location = found->match.captured(u"place").trimmed();
        used.append(found->span);
    }
    details.title = titleOf(masked(clause, used));
    return details;
}

}  // namespace zorbel::rules
