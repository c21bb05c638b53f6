#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QPointer>
#include <algorithm>

#include "calendar/CalDavCalendarStore.h"
#include "calendar/DavMultistatus.h"
#include "testkit/CalDavServers.h"
#include "testkit/CalendarTestEvents.h"
#include "testkit/ChatCompletionsServer.h"
#include "testkit/EventLoop.h"
#include "testkit/GoldenFolder.h"
#include "testkit/MemoryCredentialStore.h"
#include "testkit/TempXdg.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::readFile;
using zorbel::test::sampleEvent;

namespace {

const QString kCorpus = QStringLiteral(ZORBEL_MULTISTATUS_DIR);

// What the reader makes of a reply, as stable JSON: the responses in order, their properties
// by name, each list only when it holds something; "null" for a reply it refuses.
QByteArray readerView(const QString& path) {
    const auto responses = parseMultistatus(readFile(path));
    if (!responses) return "null\n";
    QJsonArray view;
    for (const DavResponse& response : *responses) {
        QJsonObject properties;
        for (auto it = response.properties.begin(); it != response.properties.end(); ++it) {
            QJsonObject property;
            if (!it->text.isEmpty()) property["text"_L1] = it->text;
            const auto list = [&](QLatin1StringView key, const QStringList& values) {
                if (!values.isEmpty()) property[key] = QJsonArray::fromStringList(values);
            };
            list("hrefs"_L1, it->hrefs);
            list("descendants"_L1, it->descendants);
            list("names"_L1, it->nameAttributes);
            properties[it.key()] = property;
        }
        view.append(QJsonObject{{"href"_L1, response.href}, {"properties"_L1, properties}});
    }
    return QJsonDocument(view).toJson();
}

// Sends one PROPFIND through the exchange the store uses and notes, at the moment the awaiting
// coroutine resumes with the time-out, whether the reply still exists.
QCoro::Task<void> timeOut(QNetworkAccessManager& network, QUrl url, QPointer<QNetworkReply>& reply,
                          std::optional<bool>& aliveOnResume) {
    const HttpSend send = [&network, &reply](const QNetworkRequest& request) {
        reply = network.sendCustomRequest(request, "PROPFIND");
        return reply.data();
    };
    try {
        co_await exchange(QNetworkRequest(url), send, {200, 5000, 1 << 20}, {});
    } catch (const NetworkError& error) {
        if (error.code() == NetworkError::Code::timedOut) aliveOnResume = !reply.isNull();
    }
}

}  // namespace

// Replies recorded from Radicale and Xandikos (record.py) beside hand-made ones: prefixes and
// spaces, nesting at and past the depth limit, a reply cut short, an href to another origin.
TEST(DavMultistatusCorpus, EveryReplyGivesItsExpectedResponses) {
    test::GoldenFolder{kCorpus, {u"*.xml"_s}, u".json"_s, 12}.check(readerView);
}

TEST(CalDavCalendarStoreUrls, PlainHttpOnlyToLoopback) {
    const std::pair<const char*, bool> cases[] = {{"https://dav.example.com/", true},
                                                  {"http://127.1.2.3:5232/", true},
                                                  {"http://[::1]:8080/", true},
                                                  {"http://LocalHost/", true},
                                                  {"http://dav.example.com/", false},
                                                  {"http://192.168.1.2/", false},
                                                  {"ftp://127.0.0.1/", false},
                                                  {"https:///nohost", false},
                                                  {"http://127.0.0.1.example.com/", false}};
    for (const auto& [url, allowed] : cases) {
        EXPECT_EQ(CalDavCalendarStore::isAllowedUrl(QUrl(QLatin1String(url))), allowed) << url;
    }
    // A refused address is never contacted: no access, and listing fails at once.
    CalDavCalendarStore remote(QUrl(u"http://192.0.2.1/"_s), u"alice"_s, nullptr);
    EXPECT_FALSE(await(remote.hasFullAccess()));
    EXPECT_THROW(await(remote.writableCalendars()), NetworkError);
}

// A fresh server's event calendars with their titles and colours, and the saves it refuses. (What
// a save writes, and that each is a resource of its own, the existing-events tests read back.)
TEST(CalDavCalendarStore, ListsWritableEventCalendarsAndRefusesSavesTheServerRefuses) {
    if (!test::RadicaleServer::isInstalled()) GTEST_SKIP() << "radicale is not installed";
    test::RadicaleServer server;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, u"#FF7F00FF"_s));
    ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"home"_s, u"家"_s, {}));
    ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"tasks"_s, u"Tasks"_s, {}, u"VTODO"_s));
    ASSERT_TRUE(server.makeCalendar(u"alice"_s, u"shared"_s, u"Shared"_s, {}));
    ASSERT_TRUE(server.makeReadOnly(u"alice"_s, u"shared"_s));
    const auto credentials = std::make_shared<test::MemoryCredentialStore>();
    credentials->secrets.insert(u"caldav"_s, u"pw"_s);
    CalDavCalendarStore store{server.url(), u"alice"_s, credentials, std::chrono::seconds(5)};
    const auto calendarID = [&](const QString& name) {
        return server.url().toString() + u"alice/"_s + name + u'/';
    };

    EXPECT_TRUE(await(store.hasFullAccess()));
    QList<CalendarChoice> calendars = await(store.writableCalendars());
    std::sort(calendars.begin(), calendars.end(),
              [](const CalendarChoice& a, const CalendarChoice& b) { return a.id < b.id; });
    EXPECT_EQ(calendars, (QList<CalendarChoice>{{calendarID(u"home"_s), u"家"_s, u"#888888"_s},
                                                {calendarID(u"work"_s), u"Work"_s, u"#FF7F00"_s}}));

    const auto saveError = [&](const QString& id) {
        const auto error = test::thrown<CalendarStoreError>(
            [&] { await(store.save(sampleEvent(), calendarID(id))); });
        return error ? std::optional(error->kind()) : std::nullopt;
    };
    // Saving goes to a calendar the server lists, writable or not; the server decides.
    EXPECT_EQ(saveError(u"gone"_s), CalendarStoreError::Kind::notFound);
    EXPECT_EQ(saveError(u"shared"_s), CalendarStoreError::Kind::saveFailed);

    server.stop();
    EXPECT_EQ(saveError(u"work"_s), CalendarStoreError::Kind::saveFailed);
    EXPECT_FALSE(await(store.hasFullAccess()));
    EXPECT_THROW(await(store.writableCalendars()), NetworkError);
}

TEST(CalDavHostileServer, IsRefusedWithATypedErrorWithinTheDeadline) {
    test::ChatCompletionsServer silent;  // reads the request and never answers
    silent.delayAnswers(5000);
    test::ChatCompletionsServer huge;
    huge.answerBody(QByteArray(5 << 20, 'x'), 207);
    test::ChatCompletionsServer pointingAway;
    pointingAway.answerBody(readFile(kCorpus + u"/other origin.xml"_s), 207);
    test::ChatCompletionsServer dripping;
    dripping.dripAnswers();
    const struct {
        const char* name;
        QString url;
        NetworkError::Code code;
    } cases[] = {
        {"silent", silent.url(u"/"_s), NetworkError::Code::timedOut},
        {"dripping", dripping.url(u"/"_s), NetworkError::Code::timedOut},
        {"huge", huge.url(u"/"_s), NetworkError::Code::tooLarge},
        {"href to another origin", pointingAway.url(u"/"_s), NetworkError::Code::otherOrigin}};
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        // Each request may idle half a second and take two seconds in all.
        CalDavCalendarStore store{QUrl(hostile.url), u"alice"_s, nullptr,
                                  std::chrono::milliseconds(500)};
        QElapsedTimer elapsed;
        elapsed.start();
        const auto error = test::thrown<NetworkError>([&] { await(store.writableCalendars()); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), hostile.code);
        EXPECT_LT(elapsed.elapsed(), 6000);  // the dripping one would take eight
    }
}

// Qt ends a silent server's request itself, and the awaiting coroutine resumes inside the
// reply's own signal: the reply is deleted later through the event loop, not there.
TEST(CalDavHostileServer, ATimedOutReplyOutlivesTheResumeAndIsDeletedLater) {
    test::ChatCompletionsServer silent;
    silent.delayAnswers(5000);
    QNetworkAccessManager network;
    QPointer<QNetworkReply> reply;
    std::optional<bool> aliveOnResume;
    await(timeOut(network, QUrl(silent.url(u"/"_s)), reply, aliveOnResume));
    EXPECT_EQ(aliveOnResume, true);
    EXPECT_TRUE(test::spinUntil([&] { return reply.isNull(); }));
}

// What a user may type: the bare host of a server whose root does not speak WebDAV (only the
// well-known name leads on), its principal, its calendar home. Each finds the same calendars.
TEST(CalDavDiscovery, FindsTheCalendarsFromTheHostThePrincipalOrTheHome) {
    if (!test::XandikosServer::isInstalled()) GTEST_SKIP() << "xandikos is not installed";
    test::XandikosServer xandikos(u"/dav/"_s);
    test::DavFront front(xandikos, u"/dav/"_s);
    ASSERT_TRUE(xandikos.start());
    ASSERT_TRUE(front.start());
    ASSERT_TRUE(front.makeCalendar(u"alice"_s, u"work"_s, u"Work"_s, {}));
    const QUrl host = front.url();
    const QString work = host.resolved(QUrl(front.calendarPath(u"alice"_s, u"work"_s))).toString();
    ASSERT_EQ(front.request("PROPFIND", u"/"_s), 405);

    for (const QString& typed : {host.toString(), host.toString().chopped(1),
                                 host.resolved(QUrl(u"/dav/user/"_s)).toString(),
                                 host.resolved(QUrl(u"/dav/user/calendars/"_s)).toString()}) {
        SCOPED_TRACE(typed.toStdString());
        CalDavCalendarStore store{QUrl(typed), u"alice"_s, nullptr, std::chrono::seconds(5)};
        EXPECT_TRUE(await(store.hasFullAccess()));
        QStringList found;
        for (const CalendarChoice& calendar : await(store.writableCalendars())) {
            found.append(calendar.id);
        }
        EXPECT_TRUE(found.contains(work)) << found.join(u' ').toStdString();
        const StoredObject saved = await(store.save(sampleEvent(), work));
        EXPECT_TRUE(saved.resource.startsWith(work));
        EXPECT_FALSE(saved.etag.isEmpty());
    }
}

// The well-known name may point anywhere; the password and the events go only to the server
// the user typed, so a redirect to another origin is not followed, and that origin hears nothing.
TEST(CalDavDiscovery, AWellKnownRedirectToAnotherOriginIsNotFollowed) {
    if (!test::XandikosServer::isInstalled()) GTEST_SKIP() << "xandikos is not installed";
    test::ChatCompletionsServer elsewhere;
    test::XandikosServer xandikos(u"/dav/"_s);
    test::DavFront front(xandikos, elsewhere.url(u"/dav/"_s));
    ASSERT_TRUE(xandikos.start());
    ASSERT_TRUE(front.start());
    const auto credentials = std::make_shared<test::MemoryCredentialStore>();
    credentials->secrets.insert(u"caldav"_s, u"pw"_s);
    CalDavCalendarStore store{front.url(), u"alice"_s, credentials, std::chrono::seconds(5)};
    EXPECT_FALSE(await(store.hasFullAccess()));
    EXPECT_THROW(await(store.writableCalendars()), Error);
    EXPECT_TRUE(elsewhere.requests().isEmpty());

    CalDavCalendarStore principal{front.url().resolved(QUrl(u"/dav/user/"_s)), u"alice"_s,
                                  credentials, std::chrono::seconds(5)};
    EXPECT_FALSE(await(principal.writableCalendars()).isEmpty());
}
