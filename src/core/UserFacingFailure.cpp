#include "core/UserFacingFailure.h"

#include "support/AppLogEvent.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

QString UserFacingFailure::logCode() const {
    switch (m_kind) {
        case Kind::permissionDenied:
            return u"permissionDenied(Zorbel.ProtectedCapability."_s +
                   QLatin1String(caseName(m_capability)) + u')';
        case Kind::unsupportedFile:
            return u"unsupportedFile("_s + AppLogEvent::quoted(m_extension) + u')';
        case Kind::emptyCapture:
            return QStringLiteral("emptyCapture");
        case Kind::recordingUnavailable:
            return QStringLiteral("recordingUnavailable");
        case Kind::fileReadFailed:
            return QStringLiteral("fileReadFailed");
        case Kind::ocrFailed:
            return QStringLiteral("ocrFailed");
        case Kind::cloudTransmissionDeclined:
            return QStringLiteral("cloudTransmissionDeclined");
        case Kind::providerUnavailable:
            return QStringLiteral("providerUnavailable");
        case Kind::network:
            return QStringLiteral("network");
        case Kind::invalidModelResponse:
            return QStringLiteral("invalidModelResponse");
        case Kind::calendarWrite:
            return QStringLiteral("calendarWrite");
    }
    return {};
}

}  // namespace zorbel
