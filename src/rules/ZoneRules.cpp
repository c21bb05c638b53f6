// Time zones written beside a time: abbreviations (EST, PT, AoE), offsets (UTC+8, GMT-5,
// (GMT+08:00)), names (北京时间), region names after a time (noon Eastern) and zone ids
// (Europe/London).

#include <QRegularExpression>

#include "rules/Lexicon.h"
#include "rules/Mentions.h"

namespace zorbel::rules {

namespace {

/// "+08:00" / "-05:00" as a fixed offset; anything else as a region's zone id.
QTimeZone zoneFrom(const QString& value) {
    if (value.startsWith(u'+') || value.startsWith(u'-')) {
        const int sign = value.startsWith(u'-') ? -1 : 1;
        const int seconds = value.mid(1, 2).toInt() * 3600 + value.mid(4, 2).toInt() * 60;
        return QTimeZone(sign * seconds);
    }
    return QTimeZone(value.toLatin1());
}

}  // namespace

QList<ZoneMention> findZones(const QString& clause) {
    // Abbreviations are matched as written, so "est" or "pt" inside words are not zones.
    static const QRegularExpression expression(
        QStringLiteral(R"([(（]?\s*(?:(?<![A-Za-z])(?:UTC|GMT)\s*(?<sign>[+\-−])\s*(?<h>\d{1,2}))"
                       R"((?::?(?<m>\d{2}))?|(?<![A-Za-z])(?<name>%1)(?![A-Za-z]))"
                       R"(|(?<=\d |[AaPp][Mm] |\. |noon |night )(?i:(?<region>%2))(?![A-Za-z]))"
                       R"(|(?<![A-Za-z/])(?<id>(?:Africa|America|Asia|Atlantic|Australia|Europe|)"
                       R"(Indian|Pacific)/[A-Z][A-Za-z_]+(?:/[A-Z][A-Za-z_]+)?))\s*[)）]?)")
            .arg(Lexicon::shared().pattern(QStringLiteral("zones")),
                 Lexicon::shared().pattern(QStringLiteral("regionZones"))));
    QList<ZoneMention> zones;
    auto matches = expression.globalMatch(clause);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        QTimeZone zone;
        if (match.hasCaptured(u"id")) {
            zone = zoneFrom(match.captured(u"id"));
        } else if (match.hasCaptured(u"name") || match.hasCaptured(u"region")) {
            const bool region = match.hasCaptured(u"region");
            zone = zoneFrom(
                Lexicon::shared()
                    .value(region ? QStringLiteral("regionZones") : QStringLiteral("zones"),
                           match.captured(region ? u"region" : u"name"))
                    .value_or(QString()));
        } else {
            const int hours = match.captured(u"h").toInt();
            const int minutes = match.captured(u"m").toInt();
            if (hours > 14 || minutes > 59) continue;
            const int sign = match.captured(u"sign") == u"+" ? 1 : -1;
            zone = QTimeZone(sign * (hours * 3600 + minutes * 60));
        }
        if (zone.isValid()) zones.append({{match.capturedStart(), match.capturedEnd()}, zone});
    }
    return zones;
}

}  // namespace zorbel::rules
