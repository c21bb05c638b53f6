#pragma once

#include <memory>

#include "core/CaptureServices.h"
#include "input/PermissionAdapting.h"

namespace zorbel {

/// Asks for the permissions a recording or a calendar write needs, when they are first needed.
/// Keeps no state between requests; never throws.
class PermissionCoordinator final : public PermissionRequesting {
public:
    /// Works through `adapter`; by default a new `SystemPermissionAdapter`.
    explicit PermissionCoordinator(std::shared_ptr<PermissionAdapting> adapter = nullptr);

    /// The microphone; only when it is granted, speech recognition (whose answer is returned).
    /// Anything but a granted microphone gives `denied`.
    QCoro::Task<PermissionResult> requestVoiceCapture() override;
    QCoro::Task<PermissionResult> requestCalendarWrite() override;

private:
    std::shared_ptr<PermissionAdapting> m_adapter;
};

}  // namespace zorbel
