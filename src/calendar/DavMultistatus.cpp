#include "calendar/DavMultistatus.h"

#include <QXmlStreamReader>

namespace zorbel {

namespace {

const QString kResponse = QStringLiteral("{DAV:}response");
const QString kPropstat = QStringLiteral("{DAV:}propstat");
const QString kProp = QStringLiteral("{DAV:}prop");
const QString kHref = QStringLiteral("{DAV:}href");
const QString kStatus = QStringLiteral("{DAV:}status");
/// No calendar server nests its answer this deep; a deeper one is not read at all.
constexpr qsizetype kMaxDepth = 64;

QString clarkName(const QXmlStreamReader& xml) {
    return u'{' + xml.namespaceUri().toString() + u'}' + xml.name().toString();
}

}  // namespace

std::optional<QList<DavResponse>> parseMultistatus(const QByteArray& body) {
    QXmlStreamReader xml(body);
    QList<DavResponse> responses;
    QStringList stack;
    QHash<QString, DavProperty> pending;
    QString status;
    // Where the innermost open {DAV:}prop sits in the stack, -1 outside one.
    qsizetype prop = -1;
    QList<qsizetype> outerProps;
    // The open property element (the child of {DAV:}prop), if any.
    const auto openProperty = [&]() -> DavProperty* {
        return prop < 0 || stack.size() <= prop + 1 ? nullptr : &pending[stack.at(prop + 1)];
    };
    const auto parentIs = [&](const QString& name) {
        return stack.size() >= 2 && stack.at(stack.size() - 2) == name;
    };

    while (!xml.atEnd()) {
        switch (xml.readNext()) {
            case QXmlStreamReader::StartElement: {
                const QString name = clarkName(xml);
                if (stack.size() == kMaxDepth) return std::nullopt;
                stack.append(name);
                if (name == kProp) {
                    outerProps.append(prop);
                    prop = stack.size() - 1;
                } else if (name == kResponse) {
                    responses.append(DavResponse{});
                } else if (name == kPropstat) {
                    pending.clear();
                    status.clear();
                } else if (DavProperty* property = openProperty();
                           property && stack.size() > prop + 2) {
                    property->descendants.append(name);
                    if (name == kHref) property->hrefs.append(QString());
                    const auto attribute = xml.attributes().value(QLatin1String("name"));
                    if (!attribute.isEmpty()) property->nameAttributes.append(attribute.toString());
                }
                break;
            }
            case QXmlStreamReader::Characters: {
                if (stack.isEmpty() || responses.isEmpty()) break;
                const QString text = xml.text().toString();
                if (stack.last() == kHref && parentIs(kResponse)) {
                    responses.last().href += text.trimmed();
                } else if (stack.last() == kStatus && parentIs(kPropstat)) {
                    status += text;
                } else if (DavProperty* property = openProperty()) {
                    if (stack.last() == kHref && !property->hrefs.isEmpty()) {
                        property->hrefs.last() += text.trimmed();
                    } else if (stack.size() == prop + 2) {
                        property->text += text;
                    }
                }
                break;
            }
            case QXmlStreamReader::EndElement:
                if (stack.last() == kPropstat && !responses.isEmpty() &&
                    status.simplified().section(u' ', 1, 1) == u"200") {
                    for (auto it = pending.begin(); it != pending.end(); ++it) {
                        it->text = it->text.trimmed();
                        responses.last().properties.insert(it.key(), *it);
                    }
                }
                if (stack.size() - 1 == prop) prop = outerProps.takeLast();
                stack.removeLast();
                break;
            default:
                break;
        }
    }
    if (xml.hasError()) return std::nullopt;
    return responses;
}

}  // namespace zorbel
