#include "calendar/WriteJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace zorbel::WriteJournal {

using namespace Qt::Literals::StringLiterals;

namespace {

/// Raised whenever the file's shape changes; a record of another version is not read.
constexpr int kVersion = 1;

QJsonObject toJson(const StoredObject& object) {
    return {{u"uid"_s, object.uid},
            {u"resource"_s, object.resource},
            {u"etag"_s, object.etag},
            {u"previous"_s, QString::fromUtf8(object.previous)}};
}

std::optional<StoredObject> objectFrom(const QJsonValue& value) {
    const QJsonObject json = value.toObject();
    for (const QString& key : {u"uid"_s, u"resource"_s, u"etag"_s, u"previous"_s}) {
        if (!json.value(key).isString()) return std::nullopt;
    }
    StoredObject object{json[u"uid"_s].toString(), json[u"resource"_s].toString(),
                        json[u"etag"_s].toString(), json[u"previous"_s].toString().toUtf8()};
    // Made and removed by the same write cannot be: a record saying so is not one of ours.
    if (object.resource.isEmpty() || (object.etag.isEmpty() && object.previous.isEmpty())) {
        return std::nullopt;
    }
    return object;
}

}  // namespace

QString path() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) state = QDir::homePath() + u"/.local/state"_s;
    return state + u"/zorbel/last-write.json"_s;
}

std::optional<WriteRecord> load() {
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    if (json.value(u"version"_s).toInt() != kVersion) return std::nullopt;
    WriteRecord record{json[u"store"_s].toString(),
                       json[u"calendar"_s].toString(),
                       QDateTime::fromString(json[u"writtenAt"_s].toString(), Qt::ISODateWithMs),
                       {}};
    if (record.calendarID.isEmpty() || !record.writtenAt.isValid()) return std::nullopt;
    for (const QJsonValue& value : json[u"objects"_s].toArray()) {
        const std::optional<StoredObject> object = objectFrom(value);
        if (!object) return std::nullopt;
        record.objects.append(*object);
    }
    if (record.objects.isEmpty()) return std::nullopt;
    return record;
}

bool store(const WriteRecord& record) {
    QJsonArray objects;
    for (const StoredObject& object : record.objects) objects.append(toJson(object));
    const QByteArray data =
        QJsonDocument(
            QJsonObject{{u"version"_s, kVersion},
                        {u"store"_s, record.storeLocation},
                        {u"calendar"_s, record.calendarID},
                        {u"writtenAt"_s, record.writtenAt.toUTC().toString(Qt::ISODateWithMs)},
                        {u"objects"_s, objects}})
            .toJson(QJsonDocument::Compact);
    const QString file = path();
    QSaveFile out(file);
    const bool written = QDir().mkpath(QFileInfo(file).absolutePath()) &&
                         out.open(QIODevice::WriteOnly) &&
                         out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                         out.write(data) == data.size() && out.commit();
    if (!written) clear();
    return written;
}

void clear() {
    QFile::remove(path());
}

}  // namespace zorbel::WriteJournal
