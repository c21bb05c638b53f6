// Feeds arbitrary bytes, read as UTF-8 the way a reply body is, to the reader of the model's
// answer. The reader must never crash, leak or trip a sanitizer.

#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>

#include "llm/LLMClient.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.zorbel.app.product.info=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto events = zorbel::LLMClient::parseEvents(reply);
    for (const auto& event : events) {
        if (event.title.isEmpty() || !event.startDate.isValid() || !event.endDate.isValid()) {
            __builtin_trap();  // the reader promised never to hand these on
        }
        if (event.reminderMinutes && *event.reminderMinutes < 0) __builtin_trap();
    }
    return 0;
}
