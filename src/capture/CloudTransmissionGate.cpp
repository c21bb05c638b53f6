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
            return u"口述内容"_s;
        case CaptureKind::file:
            return u"文件内容"_s;
        case CaptureKind::paste:
            return u"粘贴文本"_s;
        case CaptureKind::image:
            return u"图片内容"_s;
    }
    return {};
}

QString CloudTransmissionGate::consentMessage() {
    return u"内容将发送到云端处理"_s;
}

QString CloudTransmissionGate::consentInformativeText(CaptureKind kind,
                                                      const QString& displayName) {
    return u"本次将把"_s + consentLabel(kind) + u"发送到「"_s + displayName +
           u"」的云端模型，仅用于提取日程信息。Zorbel不会保存或记录这些内容。\n\n"_s +
           u"同意后将记住本次选择；可在设置中随时清除。"_s;
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
