#include "capture/ExtractorRouter.h"

#include "llm/LLMClient.h"

namespace zorbel {

ExtractorRouter::ExtractorRouter(std::shared_ptr<LLMClient> model,
                                 std::shared_ptr<EventExtracting> rules)
    : m_model(std::move(model)), m_rules(std::move(rules)) {}

ProviderRoute ExtractorRouter::providerRoute() const {
    return m_model->providerRoute();
}

bool ExtractorRouter::supportsVisionInput() const {
    return m_model->supportsVisionInput();
}

QCoro::Task<QList<ExtractedEvent>> ExtractorRouter::extractEvents(QString text, QString source,
                                                                  CancellationToken token) {
    // Both held here: a capture keeps its extractors alive while it waits.
    const std::shared_ptr<LLMClient> model = m_model;
    const std::shared_ptr<EventExtracting> rules = m_rules;
    co_await model->refreshRoute();
    token.throwIfCancelled();
    EventExtracting& chosen = model->usesBuiltinRules() ? *rules : *model;
    QList<ExtractedEvent> events =
        co_await chosen.extractEvents(text, std::move(source), std::move(token));
    // What the calendar check reads for moves and cancellations.
    for (ExtractedEvent& event : events) {
        if (event.sourceText.isEmpty()) event.sourceText = text;
    }
    co_return events;
}

QCoro::Task<QList<ExtractedEvent>> ExtractorRouter::extractEvents(PreparedImage image,
                                                                  QString source,
                                                                  CancellationToken token) {
    const std::shared_ptr<LLMClient> model = m_model;
    co_await model->refreshRoute();
    co_return co_await model->extractEvents(std::move(image), std::move(source), std::move(token));
}

}  // namespace zorbel
