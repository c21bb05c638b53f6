#pragma once

#include <QObject>
#include <memory>

namespace zorbel {

/// Deletes a QObject through the event loop. For network replies and secret-store jobs that a
/// coroutine awaits: it resumes inside the object's own signal (Qt may be ending the request
/// itself, as in a transfer time-out or an abort), so deleting it there would pull the object
/// from under the code that emitted the signal.
struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

/// A QObject owned by one scope and deleted through the event loop when the scope ends.
template <typename T>
using LaterPointer = std::unique_ptr<T, DeleteLater>;

}  // namespace zorbel
