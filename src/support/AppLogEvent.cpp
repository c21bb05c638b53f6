#include "support/AppLogEvent.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Built by concatenation, not QString::arg: a value holding "%1" must come out as it is.
struct Renderer {
    QString operator()(const AppLogEvent::Permission& e) const {
        return u"permission(kind: "_s + AppLogEvent::quoted(e.kind) + u", granted: "_s +
               boolText(e.granted) + u')';
    }
    QString operator()(const AppLogEvent::CaptureStarted& e) const {
        return u"captureStarted(kind: "_s + AppLogEvent::quoted(e.kind) + u')';
    }
    QString operator()(const AppLogEvent::StageChanged& e) const {
        return u"stageChanged(Zorbel.ProcessingStage."_s + e.stage + u')';
    }
    QString operator()(const AppLogEvent::RequestFinished& e) const {
        const QString status = e.statusCode ? u"Optional("_s + QString::number(*e.statusCode) + u')'
                                            : QStringLiteral("nil");
        return u"requestFinished(providerID: "_s + AppLogEvent::quoted(e.providerID) +
               u", statusCode: "_s + status + u", durationMilliseconds: "_s +
               QString::number(e.durationMilliseconds) + u')';
    }
    QString operator()(const AppLogEvent::Failure& e) const {
        return u"failure(code: "_s + AppLogEvent::quoted(e.code) + u')';
    }
    QString operator()(const AppLogEvent::CalendarWrite& e) const {
        return u"calendarWrite(succeeded: "_s + QString::number(e.succeeded) + u", failed: "_s +
               QString::number(e.failed) + u')';
    }
    QString operator()(const AppLogEvent::Launch&) const { return QStringLiteral("launch"); }
};

}  // namespace

QString AppLogEvent::rendered() const {
    return std::visit(Renderer{}, m_value);
}

QString AppLogEvent::quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\') out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

}  // namespace zorbel
