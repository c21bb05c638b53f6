#pragma once

#include <qcoro/qcorotask.h>

#include "core/CaptureTypes.h"

namespace zorbel {

/// Asks the platform for one privacy permission and reduces its answer to a `PermissionResult`.
/// Never throws. May be called from any task.
class PermissionAdapting {
public:
    virtual ~PermissionAdapting() = default;
    virtual QCoro::Task<PermissionResult> request(ProtectedCapability capability) = 0;
};

}  // namespace zorbel
