#pragma once

#include <QUuid>

#include "core/ExtractedEvent.h"

namespace zorbel {

/// One candidate under review: a stable identity for the life of the panel, the event's current
/// values and whether it is to be written.
struct EditableEvent {
    QUuid id;
    ExtractedEvent event;
    bool isIncluded = true;
    bool operator==(const EditableEvent&) const = default;
};

}  // namespace zorbel
