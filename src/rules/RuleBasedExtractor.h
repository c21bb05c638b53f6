#pragma once

#include <functional>

#include "core/CaptureServices.h"

namespace zorbel {

/// The built-in extractor: reads events with RuleEngine, offline, with no model and no socket.
/// Pictures keep the interface's refusal.
class RuleBasedExtractor : public EventExtracting {
public:
    using Clock = std::function<QDateTime()>;

    /// `clock` gives the reference instant of each request (the current time by default).
    explicit RuleBasedExtractor(Clock clock = &QDateTime::currentDateTimeUtc);

    ProviderRoute providerRoute() const override;
    using EventExtracting::extractEvents;
    QCoro::Task<QList<ExtractedEvent>> extractEvents(QString text, QString source,
                                                     CancellationToken token) override;

private:
    Clock m_clock;
};

}  // namespace zorbel
