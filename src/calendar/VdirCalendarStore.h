#pragma once

#include <QByteArray>
#include <QString>

#include "calendar/CalendarStoreProtocol.h"

namespace zorbel {

/// A local calendar store in the vdir layout: a root folder holding one folder per calendar
/// (with optional `displayname` and `color` files) and one `<uid>.ics` file per event.
///
/// The calendar id is the folder name; the event id is the UID. A calendar "Zorbel" is made on
/// first listing when the root holds none. Files are written off the calling thread, each one
/// atomically (temporary file, then a link that never replaces an existing file).
class VdirCalendarStore final : public CalendarStoreProtocol {
public:
    /// The name (and title) of the calendar made in an empty root.
    static constexpr const char* kDefaultCalendar = "Zorbel";

    /// `root` empty means the default, `$XDG_DATA_HOME/zorbel/calendars`.
    explicit VdirCalendarStore(QString root = {});

    static QString defaultRoot();
    const QString& root() const { return m_root; }

    /// The root exists (made when missing) and can be read and written.
    QCoro::Task<bool> hasFullAccess() override;
    /// The calendar folders that can be written, in name order.
    QCoro::Task<QList<CalendarChoice>> writableCalendars() override;
    /// The root folder.
    QString location() const override { return m_root; }
    QCoro::Task<StoredObject> save(ExtractedEvent event, QString calendarID,
                                   QString uid = {}) override;
    /// Reads the calendar folder's `.ics` files; a file is parsed again only when its size or
    /// modification time changed since any store of this process last read it. Files that are
    /// no iCalendar object are skipped (and left as they are).
    QCoro::Task<QList<ExistingEvent>> eventsBetween(QString calendarID, QDateTime from,
                                                    QDateTime to) override;
    /// The file is replaced atomically once its content is found to be the version read.
    QCoro::Task<StoredObject> move(QString calendarID, ExistingEvent existing,
                                   ExtractedEvent moved) override;
    /// The file is removed once its content is found to be the version read.
    QCoro::Task<StoredObject> cancel(QString calendarID, ExistingEvent existing) override;
    /// Replaced atomically, or written as a new file, as `save` writes one.
    QCoro::Task<QString> restore(QString calendarID, QString resource, QByteArray content,
                                 QString etag) override;

    /// Writes `data` to `path` through a temporary file beside it; fails (false) without
    /// touching anything when `path` already exists. Leaves no temporary file behind.
    static bool writeNewFile(const QString& path, const QByteArray& data);

private:
    QString m_root;
};

}  // namespace zorbel
