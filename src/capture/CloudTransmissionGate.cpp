#include "capture/CloudTransmissionGate.h"

#include <QUrl>

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

CloudTransmissionGate::CloudTransmissionGate(std::shared_ptr<Preferences> defaults, Prompt prompt)
    : m_defaults(std::move(defaults)), m_prompt(std::move(prompt)) {}

QString CloudTransmissionGate::consentKey(const QString& providerID, CaptureKind kind,
                                          const QString& destination) {
    const QString place = destination.isEmpty()
                              ? QString()
                              : QString::fromLatin1(QUrl::toPercentEncoding(destination)) + u'.';
    return u"cloudConsent."_s + providerID + u'.' + place + rawValue(kind) + u".v1"_s;
}

QString CloudTransmissionGate::consentLabel(CaptureKind kind) {
    switch (kind) {
        case CaptureKind::voice:
            return tr("口述内容");
        case CaptureKind::file:
            return tr("文件内容");
        case CaptureKind::paste:
            return tr("粘贴文本");
        case CaptureKind::image:
            return tr("图片内容");
    }
    return {};
}

QString CloudTransmissionGate::consentMessage() {
    return tr("内容将发送到云端处理");
}

QString CloudTransmissionGate::consentInformativeText(CaptureKind kind,
                                                      const QString& displayName) {
    return tr("本次将把%1发送到「%2」的云端模型，仅用于提取日程信息。Zorbel不会保存或记录"
              "这些内容。\n\n同意后将记住本次选择；可在设置中随时清除。")
        .arg(consentLabel(kind), displayName);
}

void CloudTransmissionGate::clearConsent(Preferences& defaults, const QString& providerID) {
    const QString prefix = u"cloudConsent."_s + providerID + u'.';
    for (const QString& key : defaults.allKeys()) {
        if (key.startsWith(prefix) && key.endsWith(u".v1"_s)) defaults.remove(key);
    }
}

bool CloudTransmissionGate::hasConsent(const QString& providerID, CaptureKind kind,
                                       const QString& destination) const {
    return m_defaults->boolean(consentKey(providerID, kind, destination));
}

QCoro::Task<bool> CloudTransmissionGate::authorize(QString providerID, CaptureKind kind,
                                                   QString destination) {
    if (hasConsent(providerID, kind, destination)) co_return true;
    const bool agreed = co_await m_prompt(providerID, kind);
    if (agreed) m_defaults->setValue(consentKey(providerID, kind, destination), true);
    co_return agreed;
}

}  // namespace zorbel
