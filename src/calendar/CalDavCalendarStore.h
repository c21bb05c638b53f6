#pragma once

#include <QNetworkAccessManager>
#include <QUrl>
#include <chrono>
#include <memory>

#include "calendar/CalendarStoreProtocol.h"
#include "calendar/DavMultistatus.h"
#include "core/CredentialStoring.h"
#include "support/HttpExchange.h"

namespace zorbel {

/// A calendar store on a CalDAV server: the user's calendars are found from the server URL
/// (a bare host through "/.well-known/caldav", then current-user-principal, calendar-home-set
/// and the home's members; the URL itself is tried as a principal or home), and each event is PUT
/// as one `<uid>.ics` resource with `If-None-Match: *`, so nothing on the server is replaced.
///
/// The calendar id is the collection's URL; the event id is the UID. Only HTTPS (verified) or
/// plain HTTP to a loopback address is contacted, and only the server URL's origin: hrefs and
/// redirects elsewhere are refused (NetworkError `otherOrigin`); a PROPFIND follows redirects
/// within it, no other request does. Answers over 4 MB are refused,
/// and each request ends after four idle time-outs in all. The password is read from the secret
/// store (account "caldav") once per store.
/// GUI thread only (owns a QNetworkAccessManager).
class CalDavCalendarStore final : public CalendarStoreProtocol {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};

    CalDavCalendarStore(QUrl serverUrl, QString user,
                        std::shared_ptr<CredentialStoring> credentials,
                        std::chrono::milliseconds timeout = kDefaultTimeout);

    /// HTTPS, or HTTP to 127.0.0.0/8, ::1 or "localhost".
    static bool isAllowedUrl(const QUrl& url);

    /// The user's calendar home is found from the server URL.
    QCoro::Task<bool> hasFullAccess() override;
    /// Calendars that hold events and whose privileges allow writing, in the server's order.
    /// Throws NetworkError when the server cannot be reached, CalendarStoreError::notFound when
    /// it answers something other than a multi-status.
    QCoro::Task<QList<CalendarChoice>> writableCalendars() override;
    /// A PUT with `If-None-Match: *`; a 412 (the resource is there) counts as saved, and so
    /// does a PUT whose answer did not come when a GET then finds the resource.
    /// The server address as set up.
    QString location() const override { return m_serverUrl.toString(); }
    QCoro::Task<StoredObject> save(ExtractedEvent event, QString calendarID,
                                   QString uid = {}) override;
    /// A calendar-query REPORT for the VEVENTs in the range and one for every repeating VEVENT,
    /// expanded here. Throws
    /// CalendarStoreError::readFailed when the server answers anything but a multi-status (a
    /// server that refuses the query, 403, or does not know it, 501).
    QCoro::Task<QList<ExistingEvent>> eventsBetween(QString calendarID, QDateTime from,
                                                    QDateTime to) override;
    /// GET, then PUT with `If-Match` on the ETag read.
    QCoro::Task<StoredObject> move(QString calendarID, ExistingEvent existing,
                                   ExtractedEvent moved) override;
    /// DELETE with `If-Match`; where the server refuses it (403, 405, 501) the event is
    /// rewritten STATUS:CANCELLED, also with `If-Match`.
    QCoro::Task<StoredObject> cancel(QString calendarID, ExistingEvent existing) override;
    /// PUT with `If-Match` on `etag`, or with `If-None-Match: *` when it is empty.
    QCoro::Task<QString> restore(QString calendarID, QString resource, QByteArray content,
                                 QString etag) override;

private:
    struct Collection {
        CalendarChoice choice;
        bool writable = false;
    };

    QCoro::Task<HttpAnswer> send(QByteArray verb, QUrl url, QByteArray body,
                                 QList<std::pair<QByteArray, QByteArray>> headers);
    /// What a PROPFIND found, and the URL that answered it (after redirects).
    struct Listing {
        QUrl url;
        QList<DavResponse> responses;
    };
    /// Throws CalendarStoreError notFound when the answer is not a multi-status.
    QCoro::Task<Listing> propfind(QUrl url, QByteArray depth, QByteArray properties);
    /// The object at `resource` as the server holds it now. Throws CalendarStoreError notFound
    /// when it is gone, saveFailed when the server cannot be reached or will not say.
    QCoro::Task<HttpAnswer> current(QUrl resource);
    /// The version a write `written` left at `resource`: its ETag, read back when it has none.
    QCoro::Task<QString> versionAfter(QUrl resource, HttpAnswer written);
    /// PUT over the version `etag`, or only where nothing is when it is empty; the version made.
    QCoro::Task<QString> put(QUrl resource, QByteArray content, QString etag);
    /// Rewrites `existing`, read as `before`, with a PUT over its ETag: moved to the times of
    /// `moved`, or marked cancelled without it.
    QCoro::Task<StoredObject> rewrite(ExistingEvent existing, HttpAnswer before,
                                      std::optional<ExtractedEvent> moved);
    /// The responses of a calendar-query for the VEVENTs that pass `eventTest`; nothing when the
    /// server answers anything but a multi-status.
    QCoro::Task<std::optional<QList<DavResponse>>> query(QUrl calendar, QByteArray eventTest);
    QCoro::Task<QUrl> firstHref(QUrl url, QByteArray property, QString clarkName);
    /// The user's calendar home: from the well-known address or the server URL, whichever leads
    /// to it first.
    QCoro::Task<QUrl> calendarHome();
    /// Every event calendar of the user's home, writable or not; remembered for `save`.
    QCoro::Task<QList<Collection>> discover();

    QUrl m_serverUrl;
    QString m_user;
    std::shared_ptr<CredentialStoring> m_credentials;
    /// The stored password once read (nothing stored: an empty optional inside).
    std::optional<std::optional<QString>> m_password;
    std::chrono::milliseconds m_timeout;
    QNetworkAccessManager m_network;
    QList<Collection> m_known;
};

}  // namespace zorbel
