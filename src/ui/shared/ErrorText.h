#pragma once

#include <QString>
#include <exception>

namespace zorbel {

/// The words the user reads for an error a service threw: the one place that turns error codes
/// into text (the capture's own failures have theirs in the status panel's presentation). A
/// null or unknown error gives `fallback`.
QString errorText(const std::exception_ptr& error, const QString& fallback);

}  // namespace zorbel
