#include "input/PermissionCoordinator.h"

#include "input/SystemPermissionAdapter.h"

namespace zorbel {

PermissionCoordinator::PermissionCoordinator(std::shared_ptr<PermissionAdapting> adapter)
    : m_adapter(adapter ? std::move(adapter) : std::make_shared<SystemPermissionAdapter>()) {}

QCoro::Task<PermissionResult> PermissionCoordinator::requestVoiceCapture() {
    const auto adapter = m_adapter;
    if (co_await adapter->request(ProtectedCapability::microphone) != PermissionResult::granted) {
        co_return PermissionResult::denied;
    }
    co_return co_await adapter->request(ProtectedCapability::speechRecognition);
}

QCoro::Task<PermissionResult> PermissionCoordinator::requestCalendarWrite() {
    const auto adapter = m_adapter;
    co_return co_await adapter->request(ProtectedCapability::calendar);
}

}  // namespace zorbel
