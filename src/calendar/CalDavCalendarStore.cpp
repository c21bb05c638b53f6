#include "calendar/CalDavCalendarStore.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <algorithm>
#include <exception>

#include "calendar/CalendarColor.h"
#include "calendar/CalendarReading.h"
#include "calendar/ICalendarMapping.h"
#include "support/HttpExchange.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kCalDav = QStringLiteral("{urn:ietf:params:xml:ns:caldav}");

/// A request may take this many idle time-outs in all, however slowly its data trickles in.
constexpr int kTotalPerIdle = 4;
/// The largest answer read; a calendar home of thousands of calendars stays far below it.
constexpr qint64 kMaxAnswerBytes = 4 << 20;
/// The most redirects one PROPFIND follows.
constexpr int kMaxRedirects = 5;

QByteArray propfindBody(const QByteArray& properties) {
    return R"(<?xml version="1.0" encoding="utf-8"?>)"
           R"(<d:propfind xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav")"
           R"( xmlns:a="http://apple.com/ns/ical/"><d:prop>)" +
           properties + "</d:prop></d:propfind>";
}

bool allowsWriting(const DavProperty* privileges) {
    if (!privileges) return true;  // a server that does not say lets the PUT decide
    static const QStringList kWriting{QStringLiteral("{DAV:}all"), QStringLiteral("{DAV:}write"),
                                      QStringLiteral("{DAV:}write-content"),
                                      QStringLiteral("{DAV:}bind")};
    return std::any_of(kWriting.begin(), kWriting.end(), [&](const QString& privilege) {
        return privileges->descendants.contains(privilege);
    });
}

bool holdsEvents(const DavProperty* components) {
    // No component set means every component type is allowed.
    return !components || components->nameAttributes.contains(QStringLiteral("VEVENT"));
}

QByteArray utcStamp(const QDateTime& instant) {
    return instant.toUTC().toString(u"yyyyMMdd'T'HHmmss'Z'"_s).toLatin1();
}

/// A calendar-query for the VEVENTs that pass `eventTest`, with their data and ETags.
QByteArray calendarQueryBody(const QByteArray& eventTest) {
    return R"(<?xml version="1.0" encoding="utf-8"?>)"
           R"(<c:calendar-query xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">)"
           R"(<d:prop><d:getetag/><c:calendar-data/></d:prop><c:filter>)"
           R"(<c:comp-filter name="VCALENDAR"><c:comp-filter name="VEVENT">)" +
           eventTest + R"(</c:comp-filter></c:comp-filter></c:filter></c:calendar-query>)";
}

}  // namespace

CalDavCalendarStore::CalDavCalendarStore(QUrl serverUrl, QString user,
                                         std::shared_ptr<CredentialStoring> credentials,
                                         std::chrono::milliseconds timeout)
    : m_serverUrl(std::move(serverUrl)),
      m_user(std::move(user)),
      m_credentials(std::move(credentials)),
      m_timeout(timeout) {}

bool CalDavCalendarStore::isAllowedUrl(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) return false;
    return url.scheme() == u"https" || (url.scheme() == u"http" && isLoopback(url));
}

QCoro::Task<HttpAnswer> CalDavCalendarStore::send(
    QByteArray verb, QUrl url, QByteArray body, QList<std::pair<QByteArray, QByteArray>> headers) {
    if (!isAllowedUrl(url)) throw NetworkError(NetworkError::Code::other);
    // An href of the server's may name any place: the password and the events go only to the
    // server the user set up.
    if (originOf(url) != originOf(m_serverUrl)) throw NetworkError(NetworkError::Code::otherOrigin);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : headers) request.setRawHeader(name, value);
    if (m_credentials) {
        // Read once per store: a batch sends many requests, and the settings make a new store
        // when the password changes.
        if (!m_password) m_password = co_await m_credentials->credential(u"caldav"_s);
        if (*m_password) {
            request.setRawHeader("Authorization",
                                 "Basic " + (m_user + u':' + **m_password).toUtf8().toBase64());
        }
    }
    QNetworkAccessManager* const network = &m_network;
    const int idleMs = static_cast<int>(m_timeout.count());
    const HttpSend sendThrough = [network, verb, body](const QNetworkRequest& ready) {
        return network->sendCustomRequest(ready, verb, body);
    };
    QCoro::Task<HttpAnswer> answer =
        exchange(request, sendThrough, {idleMs, idleMs * kTotalPerIdle, kMaxAnswerBytes}, {});
    co_return co_await std::move(answer);
}

QCoro::Task<CalDavCalendarStore::Listing> CalDavCalendarStore::propfind(QUrl url, QByteArray depth,
                                                                        QByteArray properties) {
    // Followed here, not by the network stack, which would send a redirected PROPFIND again as
    // a GET; `send` refuses a hop to another origin.
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        QList<std::pair<QByteArray, QByteArray>> headers{
            {"Depth"_ba, depth}, {"Content-Type"_ba, "application/xml; charset=utf-8"_ba}};
        const HttpAnswer answer =
            co_await send("PROPFIND"_ba, url, propfindBody(properties), std::move(headers));
        if (answer.status >= 300 && answer.status <= 399 && !answer.location.isEmpty()) {
            url = url.resolved(QUrl(QString::fromUtf8(answer.location)));
            continue;
        }
        auto responses = answer.status == 207 ? parseMultistatus(answer.body) : std::nullopt;
        if (!responses) break;
        co_return Listing{url, std::move(*responses)};
    }
    throw CalendarStoreError(CalendarStoreError::Kind::notFound);
}

QCoro::Task<QUrl> CalDavCalendarStore::firstHref(QUrl url, QByteArray property, QString clarkName) {
    const Listing listing = co_await propfind(url, "0"_ba, property);
    for (const DavResponse& response : listing.responses) {
        const DavProperty* found = response.property(clarkName);
        if (found && !found->hrefs.isEmpty()) {
            co_return listing.url.resolved(QUrl(found->hrefs.first()));
        }
    }
    co_return listing.url;
}

QCoro::Task<QUrl> CalDavCalendarStore::calendarHome() {
    // A bare server address leads to its CalDAV context through the well-known name; an address
    // with a path is first taken as it stands (the context, a principal or a calendar home).
    const QUrl wellKnown = m_serverUrl.resolved(QUrl(u"/.well-known/caldav"_s));
    const bool bare = m_serverUrl.path().isEmpty() || m_serverUrl.path() == u"/";
    const QList<QUrl> starts =
        bare ? QList<QUrl>{wellKnown, m_serverUrl} : QList<QUrl>{m_serverUrl, wellKnown};
    std::exception_ptr failure;
    for (const QUrl& start : starts) {
        try {
            const QUrl principal = co_await firstHref(start, "<d:current-user-principal/>"_ba,
                                                      u"{DAV:}current-user-principal"_s);
            co_return co_await firstHref(principal, "<c:calendar-home-set/>"_ba,
                                         kCalDav + u"calendar-home-set"_s);
        } catch (const CalendarStoreError&) {
            failure = std::current_exception();
        } catch (const NetworkError& error) {
            // A step that leads elsewhere is not taken; the next start may stay at home.
            if (error.code() != NetworkError::Code::otherOrigin) throw;
            failure = std::current_exception();
        }
    }
    std::rethrow_exception(failure);
}

QCoro::Task<QList<CalDavCalendarStore::Collection>> CalDavCalendarStore::discover() {
    const QUrl home = co_await calendarHome();
    const Listing members = co_await propfind(
        home, "1"_ba,
        "<d:resourcetype/><d:displayname/><a:calendar-color/><d:current-user-privilege-set/>"
        "<c:supported-calendar-component-set/>"_ba);
    QList<Collection> collections;
    for (const DavResponse& member : members.responses) {
        const DavProperty* type = member.property(QStringLiteral("{DAV:}resourcetype"));
        if (!type || !type->descendants.contains(kCalDav + QStringLiteral("calendar"))) continue;
        if (!holdsEvents(
                member.property(kCalDav + QStringLiteral("supported-calendar-component-set")))) {
            continue;
        }
        const QUrl url = members.url.resolved(QUrl(member.href));
        const DavProperty* name = member.property(QStringLiteral("{DAV:}displayname"));
        const DavProperty* color =
            member.property(QStringLiteral("{http://apple.com/ns/ical/}calendar-color"));
        const QString fallbackTitle = url.path().section(u'/', -2, -2, QString::SectionSkipEmpty);
        collections.append(
            {{url.toString(), name && !name->text.isEmpty() ? name->text : fallbackTitle,
              CalendarColor::hexFromText(color ? color->text : QString())},
             allowsWriting(member.property(QStringLiteral("{DAV:}current-user-privilege-set")))});
    }
    m_known = collections;
    co_return collections;
}

QCoro::Task<bool> CalDavCalendarStore::hasFullAccess() {
    try {
        co_await calendarHome();
        co_return true;
    } catch (const Error&) {
        co_return false;
    }
}

QCoro::Task<QList<CalendarChoice>> CalDavCalendarStore::writableCalendars() {
    QList<CalendarChoice> writable;
    for (const Collection& collection : co_await discover()) {
        if (collection.writable) writable.append(collection.choice);
    }
    co_return writable;
}

namespace {

/// The store error of a write answered with `status`.
void throwUnlessWritten(int status) {
    if (status >= 200 && status <= 299) return;
    using Kind = CalendarStoreError::Kind;
    throw CalendarStoreError(status == 412   ? Kind::changed
                             : status == 404 ? Kind::notFound
                                             : Kind::saveFailed);
}

}  // namespace

QCoro::Task<HttpAnswer> CalDavCalendarStore::current(QUrl resource) {
    HttpAnswer answer;
    try {
        answer = co_await send("GET"_ba, resource, QByteArray(), {});
    } catch (const Error&) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
    if (answer.status != 200) throwUnlessWritten(answer.status == 404 ? 404 : 0);
    co_return answer;
}

QCoro::Task<QString> CalDavCalendarStore::versionAfter(QUrl resource, HttpAnswer written) {
    if (!written.etag.isEmpty()) co_return QString::fromUtf8(written.etag);
    // A server that changes what it stores answers without an ETag: read it back.
    const HttpAnswer stored = co_await current(resource);
    co_return QString::fromUtf8(stored.etag);
}

QCoro::Task<QString> CalDavCalendarStore::put(QUrl resource, QByteArray content, QString etag) {
    QList<std::pair<QByteArray, QByteArray>> headers{
        etag.isEmpty() ? std::pair{"If-None-Match"_ba, "*"_ba}
                       : std::pair{"If-Match"_ba, etag.toUtf8()},
        {"Content-Type"_ba, "text/calendar; charset=utf-8"_ba}};
    HttpAnswer written;
    try {
        written = co_await send("PUT"_ba, resource, std::move(content), std::move(headers));
    } catch (const Error&) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
    throwUnlessWritten(written.status);
    co_return co_await versionAfter(resource, std::move(written));
}

QCoro::Task<StoredObject> CalDavCalendarStore::save(ExtractedEvent event, QString calendarID,
                                                    QString uid) {
    const auto isWanted = [&](const Collection& c) { return c.choice.id == calendarID; };
    try {
        if (std::none_of(m_known.begin(), m_known.end(), isWanted)) co_await discover();
    } catch (const Error&) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
    if (std::none_of(m_known.begin(), m_known.end(), isWanted)) {
        throw CalendarStoreError(CalendarStoreError::Kind::notFound);
    }
    if (uid.isEmpty()) uid = ICalendarMapping::newUid();
    const QString collection = calendarID.endsWith(u'/') ? calendarID : calendarID + u'/';
    const QUrl resource(collection + uid + QStringLiteral(".ics"));
    QList<std::pair<QByteArray, QByteArray>> headers{
        {"If-None-Match"_ba, "*"_ba}, {"Content-Type"_ba, "text/calendar; charset=utf-8"_ba}};
    HttpAnswer answer;
    try {
        answer = co_await send("PUT"_ba, resource, ICalendarMapping::eventObject(event, uid),
                               std::move(headers));
    } catch (const NetworkError& error) {
        if (error.code() != NetworkError::Code::timedOut) {
            throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
        }
    } catch (const Error&) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
    // No answer (the server may have stored it all the same), or 412: the resource of this UID
    // may be there already, from an earlier try. What is there now says.
    if (answer.status == 0 || answer.status == 412) {
        try {
            answer = co_await current(resource);
        } catch (const CalendarStoreError&) {
            throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
        }
    }
    if (answer.status < 200 || answer.status > 299) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
    const QString etag = co_await versionAfter(resource, std::move(answer));
    co_return StoredObject{uid, resource.toString(), etag, {}};
}

QCoro::Task<StoredObject> CalDavCalendarStore::rewrite(ExistingEvent existing, HttpAnswer before,
                                                       std::optional<ExtractedEvent> moved) {
    const QUrl resource(existing.resource);
    const std::optional<QByteArray> next =
        moved ? ICalendarMapping::movedObject(before.body, existing.uid, *moved)
              : ICalendarMapping::cancelledObject(before.body, existing.uid);
    if (!next) throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    const QString etag = co_await put(resource, *next, existing.etag);
    co_return StoredObject{existing.uid, existing.resource, etag, before.body};
}

QCoro::Task<StoredObject> CalDavCalendarStore::move(QString, ExistingEvent existing,
                                                    ExtractedEvent moved) {
    HttpAnswer before = co_await current(QUrl(existing.resource));
    co_return co_await rewrite(std::move(existing), std::move(before), std::move(moved));
}

QCoro::Task<StoredObject> CalDavCalendarStore::cancel(QString, ExistingEvent existing) {
    HttpAnswer before = co_await current(QUrl(existing.resource));
    QList<std::pair<QByteArray, QByteArray>> headers{{"If-Match"_ba, existing.etag.toUtf8()}};
    HttpAnswer answer;
    try {
        answer =
            co_await send("DELETE"_ba, QUrl(existing.resource), QByteArray(), std::move(headers));
    } catch (const Error&) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
    if (answer.status == 403 || answer.status == 405 || answer.status == 501) {
        co_return co_await rewrite(std::move(existing), std::move(before), std::nullopt);
    }
    throwUnlessWritten(answer.status);
    co_return StoredObject{existing.uid, existing.resource, QString(), before.body};
}

QCoro::Task<QString> CalDavCalendarStore::restore(QString, QString resource, QByteArray content,
                                                  QString etag) {
    co_return co_await put(QUrl(resource), std::move(content), std::move(etag));
}

QCoro::Task<std::optional<QList<DavResponse>>> CalDavCalendarStore::query(QUrl calendar,
                                                                          QByteArray eventTest) {
    QList<std::pair<QByteArray, QByteArray>> headers{
        {"Depth"_ba, "1"_ba}, {"Content-Type"_ba, "application/xml; charset=utf-8"_ba}};
    const HttpAnswer answer =
        co_await send("REPORT"_ba, calendar, calendarQueryBody(eventTest), std::move(headers));
    co_return answer.status == 207 ? parseMultistatus(answer.body) : std::nullopt;
}

QCoro::Task<QList<ExistingEvent>> CalDavCalendarStore::eventsBetween(QString calendarID,
                                                                     QDateTime from, QDateTime to) {
    const QUrl calendar(calendarID);
    std::optional<QList<DavResponse>> responses = co_await query(
        calendar, "<c:time-range start=\"" + utcStamp(from) + "\" end=\"" + utcStamp(to) + "\"/>");
    if (!responses) throw CalendarStoreError(CalendarStoreError::Kind::readFailed);
    // Some servers match a series only by its first occurrence: every series is asked for too,
    // and expanded here. A server that will not answer that leaves its time-range answer.
    const std::optional<QList<DavResponse>> series =
        co_await query(calendar, R"(<c:prop-filter name="RRULE"/>)"_ba);
    QSet<QString> seen;
    for (const DavResponse& response : *responses) seen.insert(response.href);
    for (const DavResponse& response : series.value_or(QList<DavResponse>())) {
        if (!seen.contains(response.href)) responses->append(response);
    }
    QList<ExistingEvent> events;
    for (const DavResponse& response : *responses) {
        const DavProperty* data = response.property(kCalDav + u"calendar-data"_s);
        if (!data) continue;
        const auto parsed = ParsedCalendar::parse(data->text.toUtf8());
        if (!parsed) continue;
        const DavProperty* etag = response.property(u"{DAV:}getetag"_s);
        for (ExistingEvent& event : parsed->eventsBetween(from, to)) {
            event.resource = calendar.resolved(QUrl(response.href)).toString();
            event.etag = etag ? etag->text : QString();
            events.append(std::move(event));
        }
    }
    co_return events;
}

}  // namespace zorbel
