#pragma once

#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

#include "calendar/CalendarStoreProtocol.h"

namespace zorbel::test {

/// A calendar store that records each call and fails on demand. It lists `calendars` and
/// answers a save with its UID ("id-TITLE" when it has none) itself, or hands both to `inner`, a
/// real store. (Each co_await
/// stands in a statement of its own: GCC 12 miscompiles one inside ?: or &&.)
class FakeCalendarStore final : public CalendarStoreProtocol {
public:
    explicit FakeCalendarStore(std::shared_ptr<CalendarStoreProtocol> inner = nullptr)
        : m_inner(std::move(inner)) {}

    bool fullAccess = true;
    bool listingFails = false;        ///< listing throws notFound
    QList<CalendarChoice> calendars;  ///< what is listed without an inner store
    QSet<QString> failingTitles;      ///< saving an event of one of these titles throws saveFailed
    std::function<void()> afterSave;  ///< runs after each save that succeeded
    QStringList calls;  ///< "access", "list", "save TITLE to ID", "read ID", "move"/"cancel TITLE
                        ///< in ID", "restore RESOURCE in ID"

    QCoro::Task<bool> hasFullAccess() override {
        calls.append(QStringLiteral("access"));
        if (!fullAccess || !m_inner) co_return fullAccess;
        co_return co_await m_inner->hasFullAccess();
    }
    QCoro::Task<QList<CalendarChoice>> writableCalendars() override {
        calls.append(QStringLiteral("list"));
        if (listingFails) throw CalendarStoreError(CalendarStoreError::Kind::notFound);
        // A copy: this QCoro moves from any non-const lvalue given to co_return, a member too.
        if (!m_inner) co_return QList<CalendarChoice>(calendars);
        co_return co_await m_inner->writableCalendars();
    }
    QString location() const override {
        return m_inner ? m_inner->location() : QStringLiteral("fake");
    }
    QCoro::Task<StoredObject> save(ExtractedEvent event, QString calendarID, QString uid) override {
        calls.append(QStringLiteral("save %1 to %2").arg(event.title, calendarID));
        if (failingTitles.contains(event.title)) {
            throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
        }
        const QString id = uid.isEmpty() ? QStringLiteral("id-") + event.title : uid;
        StoredObject saved{id, id + QStringLiteral(".ics"), QStringLiteral("1"), {}};
        if (m_inner) saved = co_await m_inner->save(event, calendarID, uid);
        if (afterSave) afterSave();
        co_return saved;
    }

    QCoro::Task<QList<ExistingEvent>> eventsBetween(QString calendarID, QDateTime from,
                                                    QDateTime to) override {
        calls.append(QStringLiteral("read ") + calendarID);
        if (!m_inner) co_return QList<ExistingEvent>();
        co_return co_await m_inner->eventsBetween(calendarID, from, to);
    }

    QCoro::Task<StoredObject> move(QString calendarID, ExistingEvent target,
                                   ExtractedEvent moved) override {
        calls.append(QStringLiteral("move %1 in %2").arg(target.title, calendarID));
        if (!m_inner) co_return StoredObject{target.uid, target.resource, QStringLiteral("2"), "-"};
        co_return co_await m_inner->move(calendarID, target, moved);
    }
    QCoro::Task<StoredObject> cancel(QString calendarID, ExistingEvent target) override {
        calls.append(QStringLiteral("cancel %1 in %2").arg(target.title, calendarID));
        if (!m_inner) co_return StoredObject{target.uid, target.resource, QString(), "-"};
        co_return co_await m_inner->cancel(calendarID, target);
    }
    QCoro::Task<QString> restore(QString calendarID, QString resource, QByteArray content,
                                 QString etag) override {
        calls.append(QStringLiteral("restore %1 in %2").arg(resource, calendarID));
        if (!m_inner) co_return QStringLiteral("3");
        co_return co_await m_inner->restore(calendarID, resource, content, etag);
    }

private:
    std::shared_ptr<CalendarStoreProtocol> m_inner;
};

}  // namespace zorbel::test
