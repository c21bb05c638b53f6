#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zorbel {

/// One property of a WebDAV answer whose status was 200. Element names are in Clark notation,
/// "{namespace URI}local-name", so any prefix (or none) reads the same.
struct DavProperty {
    QString text;                ///< the property element's own text, trimmed
    QStringList hrefs;           ///< the texts of {DAV:}href elements inside it
    QStringList descendants;     ///< the names of every element inside it
    QStringList nameAttributes;  ///< the `name` attributes inside it (calendar components)
};

/// One {DAV:}response of a multi-status answer.
struct DavResponse {
    QString href;
    QHash<QString, DavProperty> properties;  ///< by Clark name, only those found (200)

    const DavProperty* property(const QString& clarkName) const {
        const auto found = properties.constFind(clarkName);
        return found == properties.constEnd() ? nullptr : &*found;
    }
};

/// Reads a 207 Multi-Status body; nothing when it is not well-formed XML.
std::optional<QList<DavResponse>> parseMultistatus(const QByteArray& body);

}  // namespace zorbel
