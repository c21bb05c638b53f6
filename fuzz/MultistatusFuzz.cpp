// Feeds arbitrary bytes, as a calendar server's 207 answer, to the multi-status reader. It must
// never crash, leak or trip a sanitizer, and stays linear in the size of its input.

#include <cstddef>
#include <cstdint>

#include "calendar/DavMultistatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto responses = zorbel::parseMultistatus(body)) {
        for (const auto& response : *responses) {
            for (const auto& property : response.properties) {
                if (property.text != property.text.trimmed()) __builtin_trap();
            }
        }
    }
    return 0;
}
