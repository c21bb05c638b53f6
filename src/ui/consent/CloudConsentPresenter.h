#pragma once

#include <qcoro/qcorotask.h>
#include <QString>
#include <memory>

#include "core/CaptureTypes.h"

class QMessageBox;

/// The consent question as a modal message box. GUI thread only.
namespace zorbel::CloudConsentPresenter {

/// The message box for a provider and a kind of content: headline, explanation with the
/// provider's display name, and the buttons "继续" (first) and "取消".
std::unique_ptr<QMessageBox> makeAlert(const QString& providerID, CaptureKind kind);

/// Brings the application forward, shows the alert modally and yields true exactly when
/// "继续" was chosen; any other way of closing it is a refusal.
QCoro::Task<bool> ask(QString providerID, CaptureKind kind);

}  // namespace zorbel::CloudConsentPresenter
