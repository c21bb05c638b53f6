#include "rules/RuleBasedExtractor.h"

#include <QTimeZone>

#include "rules/RuleEngine.h"

namespace zorbel {

RuleBasedExtractor::RuleBasedExtractor(Clock clock) : m_clock(std::move(clock)) {}

ProviderRoute RuleBasedExtractor::providerRoute() const {
    return {QStringLiteral("builtin"), true};
}

QCoro::Task<QList<ExtractedEvent>> RuleBasedExtractor::extractEvents(QString text, QString source,
                                                                     CancellationToken token) {
    Q_UNUSED(source);
    token.throwIfCancelled();
    QList<ExtractedEvent> events =
        RuleEngine::extract(text, m_clock(), QTimeZone::systemTimeZone());
    for (ExtractedEvent& event : events) event.sourceText = text;
    co_return events;
}

}  // namespace zorbel
