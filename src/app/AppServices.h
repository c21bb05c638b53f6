#pragma once

#include <memory>

#include "ui/ball/BallView.h"

namespace zorbel {

class CalendarWriter;
class CredentialStoring;
class LLMClient;
class Preferences;
class SettingsWindowController;

/// Every service of the desktop program, built once at start over the standard preferences and
/// the system secret store, and handed to the windows that use them. Lives as long as the
/// application (the model client's network session must not outlive it). GUI thread only.
class AppServices {
public:
    AppServices();
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    const std::shared_ptr<CredentialStoring>& credentials() const { return m_credentials; }
    LLMClient& model() const { return *m_model; }
    const std::shared_ptr<CalendarWriter>& calendar() const { return m_calendar; }
    /// Speech, file extraction, the model or rules by route, the system permissions and the
    /// cloud consent gate, for the ball's capture coordinator.
    const BallServices& ball() const { return m_ball; }

    /// Shows the settings window, made on first use.
    void showSettings();

private:
    std::shared_ptr<Preferences> m_preferences;
    std::shared_ptr<CredentialStoring> m_credentials;
    std::shared_ptr<LLMClient> m_model;
    std::shared_ptr<CalendarWriter> m_calendar;
    BallServices m_ball;
    std::unique_ptr<SettingsWindowController> m_settings;
};

}  // namespace zorbel
