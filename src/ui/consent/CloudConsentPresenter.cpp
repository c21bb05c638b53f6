#include "ui/consent/CloudConsentPresenter.h"

#include <QMessageBox>
#include <QPushButton>

#include "capture/CloudTransmissionGate.h"
#include "llm/LLMClient.h"

namespace zorbel::CloudConsentPresenter {

std::unique_ptr<QMessageBox> makeAlert(const QString& providerID, CaptureKind kind) {
    auto alert = std::make_unique<QMessageBox>();
    alert->setIcon(QMessageBox::Information);
    alert->setText(CloudTransmissionGate::consentMessage());
    alert->setInformativeText(
        CloudTransmissionGate::consentInformativeText(kind, consentReceiverName(providerID)));
    alert->setDefaultButton(
        alert->addButton(CloudTransmissionGate::tr("继续"), QMessageBox::AcceptRole));
    alert->setEscapeButton(
        alert->addButton(CloudTransmissionGate::tr("取消"), QMessageBox::RejectRole));
    return alert;
}

QCoro::Task<bool> ask(QString providerID, CaptureKind kind) {
    const std::unique_ptr<QMessageBox> alert = makeAlert(providerID, kind);
    // Above the floating ball and whatever else is open, so the question is seen at once.
    alert->setWindowFlag(Qt::WindowStaysOnTopHint);
    alert->exec();
    co_return alert->clickedButton() == alert->defaultButton();
}

}  // namespace zorbel::CloudConsentPresenter
