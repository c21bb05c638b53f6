// Feeds arbitrary bytes, as the body a model or speech server answers with, to every reader of
// such bodies: the chat reply envelope (and the events in its content), both model-list shapes
// and the transcript. None may crash, leak, trip a sanitizer or take long.

#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>

#include "input/TranscriptionEndpointRecognizer.h"
#include "llm/ChatRequest.h"
#include "llm/EventReader.h"
#include "llm/LLMClient.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorbel;
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<QString> content = ChatRequest::replyContent(body)) {
        parseEvents(*content);
    }
    ChatRequest::namesIn(body, QStringLiteral("models"), QStringLiteral("name"));
    ChatRequest::namesIn(body, QStringLiteral("data"), QStringLiteral("id"));
    TranscriptionEndpointRecognizer::transcript(body);
    return 0;
}
