#include "core/LLMError.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

QString LLMError::description() const {
    switch (m_kind) {
        case Kind::httpStatus:
            return u"LLM 服务返回 HTTP "_s + QString::number(m_status);
        case Kind::noProvider:
            return u"未配置 LLM（自动扫描未发现本地服务，请在设置中手动配置）"_s;
        case Kind::badResponse:
            return u"LLM 响应格式异常（缺 choices/message/content）"_s;
        case Kind::badJSON:
            return u"LLM 输出中无可用 JSON"_s;
        case Kind::insecureURL:
            return u"服务地址未加密（http），不能发送 API Key，请改用 https"_s;
    }
    return {};
}

}  // namespace zorbel
