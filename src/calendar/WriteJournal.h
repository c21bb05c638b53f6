#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <chrono>
#include <optional>

#include "calendar/CalendarTypes.h"

namespace zorbel {

/// What the last write to a calendar left there, kept so that the write can be taken back.
struct WriteRecord {
    QString storeLocation;  ///< the store's `location()`
    QString calendarID;
    QDateTime writtenAt;
    QList<StoredObject> objects;  ///< in the order they were written
    bool operator==(const WriteRecord&) const = default;
};

/// The record of the last write, in `$XDG_STATE_HOME/zorbel/last-write.json` (default
/// ~/.local/state), so that it outlives a restart. The file is the user's alone (mode 0600) and
/// replaced in one step; it holds the events' former contents, never a secret.
namespace WriteJournal {

/// How long after a write it can be undone.
constexpr std::chrono::minutes kUndoWindow{10};

QString path();
/// The record, or nothing when there is none, it is unreadable, truncated or of another version.
std::optional<WriteRecord> load();
/// Replaces the record; false when it could not be written (the old one is then removed, so that
/// undo never takes back an earlier write than the last).
bool store(const WriteRecord& record);
void clear();

}  // namespace WriteJournal

}  // namespace zorbel
