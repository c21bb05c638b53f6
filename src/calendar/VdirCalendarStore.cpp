#include "calendar/VdirCalendarStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <mutex>

#include "calendar/CalendarColor.h"
#include "calendar/CalendarReading.h"
#include "calendar/ICalendarMapping.h"
#include "support/Background.h"

namespace zorbel {

namespace {

QString readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

/// Every calendar folder of the root, in name order (hidden folders are not calendars).
QFileInfoList calendarFolders(const QString& root) {
    return QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

bool ensureRoot(const QString& root) {
    if (!QDir().mkpath(root)) return false;
    if (!calendarFolders(root).isEmpty()) return true;
    const QString folder = root + u'/' + QLatin1String(VdirCalendarStore::kDefaultCalendar);
    return QDir().mkpath(folder) &&
           VdirCalendarStore::writeNewFile(folder + QStringLiteral("/displayname"),
                                           QByteArray(VdirCalendarStore::kDefaultCalendar));
}

QList<CalendarChoice> listWritable(const QString& root) {
    if (!ensureRoot(root)) throw CalendarStoreError(CalendarStoreError::Kind::notFound);
    QList<CalendarChoice> calendars;
    for (const QFileInfo& folder : calendarFolders(root)) {
        if (!folder.isWritable()) continue;
        const QString path = folder.absoluteFilePath();
        const QString title = readSmallFile(path + QStringLiteral("/displayname"));
        calendars.append(
            {folder.fileName(), title.isEmpty() ? folder.fileName() : title,
             CalendarColor::hexFromText(readSmallFile(path + QStringLiteral("/color")))});
    }
    return calendars;
}

void requireCalendar(const QString& root, const QString& calendarID) {
    const QFileInfoList folders = calendarFolders(root);
    const bool known = std::any_of(folders.begin(), folders.end(), [&](const QFileInfo& folder) {
        return folder.fileName() == calendarID;
    });
    if (!known) throw CalendarStoreError(CalendarStoreError::Kind::notFound);
}

QString versionOf(const QByteArray& content) {
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha1).toHex());
}

StoredObject saveEvent(const QString& root, const ExtractedEvent& event, const QString& calendarID,
                       QString uid) {
    requireCalendar(root, calendarID);
    if (uid.isEmpty()) uid = ICalendarMapping::newUid();
    const QString name = uid + QStringLiteral(".ics");
    const QString path = root + u'/' + calendarID + u'/' + name;
    QByteArray content = ICalendarMapping::eventObject(event, uid);
    // A file of that UID is this event from an earlier try: files are never replaced.
    if (!VdirCalendarStore::writeNewFile(path, content)) {
        QFile earlier(path);
        if (!earlier.open(QIODevice::ReadOnly)) {
            throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
        }
        content = earlier.readAll();
    }
    return {uid, name, versionOf(content), {}};
}

/// The path of the event file `resource` of the calendar; notFound for a name that is no event
/// file of that folder.
QString eventFile(const QString& root, const QString& calendarID, const QString& resource) {
    requireCalendar(root, calendarID);
    if (resource.contains(u'/') || !resource.endsWith(u".ics")) {
        throw CalendarStoreError(CalendarStoreError::Kind::notFound);
    }
    return root + u'/' + calendarID + u'/' + resource;
}

/// The content of the event file at `path`, checked to be the version `etag`.
QByteArray readVersion(const QString& path, const QString& etag) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CalendarStoreError(CalendarStoreError::Kind::notFound);
    const QByteArray content = file.readAll();
    if (versionOf(content) != etag) throw CalendarStoreError(CalendarStoreError::Kind::changed);
    return content;
}

/// Replaces the file at `path` by `content` in one step.
void replaceFile(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
    }
}

/// The parsed event files of every calendar folder read in this process, by folder path and file
/// name. A folder's entries are replaced at each read, so files removed meanwhile go with it.
class ParsedFiles {
public:
    QList<ExistingEvent> eventsBetween(const QString& folder, const QDateTime& from,
                                       const QDateTime& to) {
        const std::lock_guard lock(m_mutex);
        QHash<QString, Entry>& known = m_folders[folder];
        QHash<QString, Entry> current;
        QList<ExistingEvent> events;
        for (const QString& name :
             QDir(folder).entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name)) {
            const QString path = folder + u'/' + name;
            // stat() directly: QFileInfo's times cost a time zone conversion per file.
            struct stat status {};
            if (::stat(QFile::encodeName(path).constData(), &status) != 0) continue;
            const qint64 modified =
                qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
            Entry entry = known.take(name);
            if (entry.modified != modified || entry.size != status.st_size) {
                QFile data(path);
                const QByteArray content = data.open(QIODevice::ReadOnly) ? data.readAll() : "";
                entry = {modified, qint64(status.st_size), versionOf(content),
                         ParsedCalendar::parse(content)};
            }
            if (entry.parsed) {
                for (ExistingEvent& event : entry.parsed->eventsBetween(from, to)) {
                    event.resource = name;
                    event.etag = entry.version;
                    events.append(std::move(event));
                }
            }
            current.insert(name, std::move(entry));
        }
        known = std::move(current);
        return events;
    }

private:
    struct Entry {
        qint64 modified = -1;  ///< nanoseconds since the epoch
        qint64 size = -1;
        QString version;
        std::shared_ptr<ParsedCalendar> parsed;  ///< null for a file that is no iCalendar object
    };
    std::mutex m_mutex;
    QHash<QString, QHash<QString, Entry>> m_folders;
};

ParsedFiles& parsedFiles() {
    static ParsedFiles files;
    return files;
}

}  // namespace

VdirCalendarStore::VdirCalendarStore(QString root)
    : m_root(root.isEmpty() ? defaultRoot() : std::move(root)) {}

QString VdirCalendarStore::defaultRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/zorbel/calendars");
}

// These hand back the background task itself rather than awaiting it: gcc 12 mis-destroys a
// lambda temporary that lives across a co_await.
QCoro::Task<bool> VdirCalendarStore::hasFullAccess() {
    return runInBackground([root = m_root] {
        const QFileInfo info(root);
        return QDir().mkpath(root) && info.isReadable() && info.isWritable();
    });
}

QCoro::Task<QList<CalendarChoice>> VdirCalendarStore::writableCalendars() {
    return runInBackground([root = m_root] { return listWritable(root); });
}

QCoro::Task<StoredObject> VdirCalendarStore::save(ExtractedEvent event, QString calendarID,
                                                  QString uid) {
    return runInBackground([root = m_root, event = std::move(event), id = std::move(calendarID),
                            uid = std::move(uid)] { return saveEvent(root, event, id, uid); });
}

QCoro::Task<QList<ExistingEvent>> VdirCalendarStore::eventsBetween(QString calendarID,
                                                                   QDateTime from, QDateTime to) {
    return runInBackground([root = m_root, id = std::move(calendarID), from, to] {
        requireCalendar(root, id);
        return parsedFiles().eventsBetween(root + u'/' + id, from, to);
    });
}

QCoro::Task<StoredObject> VdirCalendarStore::move(QString calendarID, ExistingEvent existing,
                                                  ExtractedEvent moved) {
    return runInBackground([root = m_root, id = std::move(calendarID),
                            existing = std::move(existing), moved = std::move(moved)] {
        const QString path = eventFile(root, id, existing.resource);
        const QByteArray content = readVersion(path, existing.etag);
        const auto next = ICalendarMapping::movedObject(content, existing.uid, moved);
        if (!next) throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
        replaceFile(path, *next);
        return StoredObject{existing.uid, existing.resource, versionOf(*next), content};
    });
}

QCoro::Task<StoredObject> VdirCalendarStore::cancel(QString calendarID, ExistingEvent existing) {
    return runInBackground(
        [root = m_root, id = std::move(calendarID), existing = std::move(existing)] {
            const QString path = eventFile(root, id, existing.resource);
            const QByteArray content = readVersion(path, existing.etag);
            if (!QFile::remove(path))
                throw CalendarStoreError(CalendarStoreError::Kind::saveFailed);
            return StoredObject{existing.uid, existing.resource, QString(), content};
        });
}

QCoro::Task<QString> VdirCalendarStore::restore(QString calendarID, QString resource,
                                                QByteArray content, QString etag) {
    return runInBackground([root = m_root, id = std::move(calendarID),
                            resource = std::move(resource), content = std::move(content),
                            etag = std::move(etag)] {
        const QString path = eventFile(root, id, resource);
        if (etag.isEmpty()) {
            if (writeNewFile(path, content)) return versionOf(content);
            throw CalendarStoreError(QFileInfo::exists(path)
                                         ? CalendarStoreError::Kind::changed
                                         : CalendarStoreError::Kind::saveFailed);
        }
        readVersion(path, etag);
        replaceFile(path, content);
        return versionOf(content);
    });
}

bool VdirCalendarStore::writeNewFile(const QString& path, const QByteArray& data) {
    if (QFileInfo::exists(path)) return false;
    QTemporaryFile temporary(QFileInfo(path).absolutePath() + QStringLiteral("/.zorbel-XXXXXX"));
    if (!temporary.open() || temporary.write(data) != data.size() || !temporary.flush() ||
        ::fsync(temporary.handle()) != 0) {
        return false;
    }
    // link() publishes the complete file under its name in one step and refuses an existing
    // name; the temporary name is removed when `temporary` goes away. The folder is synced so
    // that the new name outlasts a power loss once success is reported.
    if (::link(QFile::encodeName(temporary.fileName()).constData(),
               QFile::encodeName(path).constData()) != 0) {
        return false;
    }
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0) ::close(folder);
    return synced;
}

}  // namespace zorbel
