#pragma once

#include <memory>

#include "core/CaptureServices.h"

namespace zorbel {

class LLMClient;

/// The extractor a capture talks to: the language model, or the built-in rules when the model
/// settings send this capture there (their own preset, or the auto preset while no local server
/// answers). Before each capture the auto preset looks for local servers again, so a server
/// started or stopped since decides the route. Pictures always go to the model. Events read from
/// a text carry it as their source text, whichever route read them.
class ExtractorRouter final : public EventExtracting {
public:
    ExtractorRouter(std::shared_ptr<LLMClient> model, std::shared_ptr<EventExtracting> rules);

    ProviderRoute providerRoute() const override;
    bool supportsVisionInput() const override;
    QCoro::Task<QList<ExtractedEvent>> extractEvents(QString text, QString source,
                                                     CancellationToken token) override;
    QCoro::Task<QList<ExtractedEvent>> extractEvents(PreparedImage image, QString source,
                                                     CancellationToken token) override;

private:
    std::shared_ptr<LLMClient> m_model;
    std::shared_ptr<EventExtracting> m_rules;
};

}  // namespace zorbel
