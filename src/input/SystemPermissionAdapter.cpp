#include "input/SystemPermissionAdapter.h"

#include <QTimer>

#include "input/ResumeOnce.h"
#include "support/AppLogger.h"

namespace zorbel {

namespace {

void logFailure(const QString& code) {
    AppLogger::shared().record(AppLogEvent::failure(code));
}

/// A desktop calendar store is readable and writable by its user: there is nothing to ask.
class DesktopCalendarAccess final : public SystemPermissionAdapter::CalendarAccess {
public:
    int authorizationStatus() override { return fullAccess; }
    void requestFullAccess(Answer answer) override { answer(true, std::nullopt); }
};

}  // namespace

QString settingsPaneURL(ProtectedCapability capability) {
    const QString prefix = QStringLiteral("zorbel-settings:privacy#");
    switch (capability) {
        case ProtectedCapability::microphone:
            return prefix + QStringLiteral("Privacy_Microphone");
        case ProtectedCapability::speechRecognition:
            return prefix + QStringLiteral("Privacy_SpeechRecognition");
        case ProtectedCapability::calendar:
            return prefix + QStringLiteral("Privacy_Calendars");
    }
    return prefix;
}

SystemPermissionAdapter::SystemPermissionAdapter(std::shared_ptr<CalendarAccess> calendar,
                                                 std::chrono::milliseconds promptTimeout)
    : m_calendar(calendar ? std::move(calendar) : std::make_shared<DesktopCalendarAccess>()),
      m_promptTimeout(promptTimeout) {}

QCoro::Task<PermissionResult> SystemPermissionAdapter::request(ProtectedCapability capability) {
    if (capability == ProtectedCapability::calendar) co_return co_await requestCalendar();
    co_return PermissionResult::granted;
}

QCoro::Task<PermissionResult> SystemPermissionAdapter::requestCalendar() {
    const auto calendar = m_calendar;
    const int status = calendar->authorizationStatus();
    // Full access is the normal case, not a failure.
    if (status != CalendarAccess::fullAccess) {
        logFailure(QStringLiteral("calendarAuthStatus") + QString::number(status));
    }
    if (status != CalendarAccess::notDetermined) {
        co_return status == CalendarAccess::fullAccess ? PermissionResult::granted
                                                       : PermissionResult::denied;
    }

    auto once = std::make_shared<ResumeOnce<PermissionResult>>();
    QTimer promptLost;
    promptLost.setSingleShot(true);
    QObject::connect(&promptLost, &QTimer::timeout, [once] {
        if (once->resume(PermissionResult::denied)) {
            logFailure(QStringLiteral("calendarAccessPromptLost"));
        }
    });
    calendar->requestFullAccess([once](bool granted, std::optional<int> errorCode) {
        if (errorCode) {
            logFailure(QStringLiteral("calendarAccessRequestError") + QString::number(*errorCode));
        }
        once->resume(granted ? PermissionResult::granted : PermissionResult::denied);
    });
    promptLost.start(m_promptTimeout);
    co_return co_await ResumeOnce<PermissionResult>::wait(once);
}

}  // namespace zorbel
