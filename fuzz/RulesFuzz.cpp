// Feeds arbitrary bytes, read as UTF-8 the way pasted text is, to the rule engine. It must
// never crash, leak or trip a sanitizer, and every event it gives must end after it starts.

#include <QTimeZone>
#include <cstddef>
#include <cstdint>

#include "rules/RuleEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2026, 12, 31), QTime(23, 30), Qt::UTC);
    static const QTimeZone zone(QByteArrayLiteral("America/New_York"));
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const auto& event : zorbel::RuleEngine::extract(text, now, zone)) {
        if (event.title.isEmpty() || event.title.size() > 40) __builtin_trap();
        if (!event.startDate.isValid() || !(event.startDate < event.endDate)) __builtin_trap();
        if (event.reminderMinutes && *event.reminderMinutes < 0) __builtin_trap();
    }
    return 0;
}
