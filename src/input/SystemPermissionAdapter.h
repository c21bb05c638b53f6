#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "input/PermissionAdapting.h"

namespace zorbel {

/// The desktop's answers to permission requests. An unsandboxed Linux desktop has no prompt for
/// the microphone or speech recognition: both are granted, and a missing device or recogniser
/// surfaces later as the recorder's own error. The calendar request keeps its status check and
/// its prompt time-out whatever the calendar platform underneath.
class SystemPermissionAdapter final : public PermissionAdapting {
public:
    /// The calendar platform: its authorisation status and its full-access prompt.
    class CalendarAccess {
    public:
        /// Raw status values.
        enum Status {
            notDetermined = 0,
            restricted = 1,
            denied = 2,
            fullAccess = 3,
            writeOnly = 4
        };
        /// Called when the prompt is answered, once, on any thread; `errorCode` when the
        /// platform reported an error with its answer.
        using Answer = std::function<void(bool granted, std::optional<int> errorCode)>;

        virtual ~CalendarAccess() = default;
        virtual int authorizationStatus() = 0;
        /// Shows the prompt for full access to events (bringing the program to the front).
        virtual void requestFullAccess(Answer answer) = 0;
    };

    static constexpr std::chrono::milliseconds kCalendarPromptTimeout{60000};

    /// `calendar` by default: the desktop's, which needs no prompt (full access).
    explicit SystemPermissionAdapter(
        std::shared_ptr<CalendarAccess> calendar = nullptr,
        std::chrono::milliseconds promptTimeout = kCalendarPromptTimeout);

    /// Logs a calendar status short of full access as "calendarAuthStatus" + raw value. A
    /// status other than not
    /// determined answers at once (granted only for full access); otherwise the prompt decides,
    /// or after the time-out `denied` with the log "calendarAccessPromptLost".
    QCoro::Task<PermissionResult> request(ProtectedCapability capability) override;

private:
    QCoro::Task<PermissionResult> requestCalendar();

    std::shared_ptr<CalendarAccess> m_calendar;
    std::chrono::milliseconds m_promptTimeout;
};

/// The address of the settings where the user can grant `capability`, in the program's own
/// "zorbel-settings:" scheme (the privacy section, anchor "Privacy_Microphone",
/// "Privacy_SpeechRecognition" or "Privacy_Calendars"). The open-settings action resolves it to
/// the desktop's sound or privacy settings where the desktop has them, else to the program's
/// settings window.
QString settingsPaneURL(ProtectedCapability capability);

}  // namespace zorbel
