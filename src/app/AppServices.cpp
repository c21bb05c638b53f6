#include "app/AppServices.h"

#include "calendar/CalendarWriter.h"
#include "capture/CloudTransmissionGate.h"
#include "capture/ExtractorRouter.h"
#include "input/DocumentModule.h"
#include "input/PermissionCoordinator.h"
#include "input/SpeechModule.h"
#include "input/SpeechService.h"
#include "input/SystemFileExtractor.h"
#include "llm/KeychainCredentialStore.h"
#include "llm/LLMClient.h"
#include "rules/RuleBasedExtractor.h"
#include "support/Preferences.h"
#include "ui/consent/CloudConsentPresenter.h"
#include "ui/settings/SettingsWindowController.h"

namespace zorbel {

AppServices::AppServices()
    : m_preferences(Preferences::standard()),
      m_credentials(std::make_shared<KeychainCredentialStore>()),
      m_model(std::make_shared<LLMClient>(m_preferences, m_credentials)),
      m_calendar(std::make_shared<CalendarWriter>(m_preferences, m_credentials)) {
    auto gate = std::make_shared<CloudTransmissionGate>(m_preferences, &CloudConsentPresenter::ask);
    const auto speech = speechModule();
    auto recognizer = SpeechService::pickRecognizer(
        SpeechService::preferredLanguages(),
        SpeechService::systemRecognizers(m_preferences, m_credentials,
                                         std::make_shared<ModuleSpeechRecognizer>(speech)));
    m_ball = {std::make_shared<SpeechService>(std::move(recognizer),
                                              std::make_shared<ModuleAudioInput>(speech), gate),
              std::make_shared<SystemFileExtractor>(std::make_shared<DocumentModule>()),
              std::make_shared<ExtractorRouter>(m_model, std::make_shared<RuleBasedExtractor>()),
              std::make_shared<PermissionCoordinator>(), gate};
}

AppServices::~AppServices() = default;

void AppServices::showSettings() {
    if (!m_settings)
        m_settings = std::make_unique<SettingsWindowController>(*m_model, m_credentials);
    m_settings->showSettings();
}

}  // namespace zorbel
