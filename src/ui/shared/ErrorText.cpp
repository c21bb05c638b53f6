#include "ui/shared/ErrorText.h"

#include "calendar/CalendarTypes.h"
#include "core/CredentialStoring.h"
#include "core/LLMError.h"
#include "support/Errors.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

QString llmText(const LLMError& error) {
    switch (error.kind()) {
        case LLMError::Kind::httpStatus:
            return u"LLM 服务返回 HTTP "_s + QString::number(error.status());
        case LLMError::Kind::noProvider:
            return u"未配置 LLM（自动扫描未发现本地服务，请在设置中手动配置）"_s;
        case LLMError::Kind::badResponse:
            return u"LLM 响应格式异常（缺 choices/message/content）"_s;
        case LLMError::Kind::badJSON:
            return u"LLM 输出中无可用 JSON"_s;
        case LLMError::Kind::insecureURL:
            return u"服务地址未加密（http），不能发送 API Key，请改用 https"_s;
    }
    return {};
}

}  // namespace

QString errorText(const std::exception_ptr& error, const QString& fallback) {
    if (!error) return fallback;
    try {
        std::rethrow_exception(error);
    } catch (const LLMError& llm) {
        return llmText(llm);
    } catch (const NetworkError& network) {
        return network.code() == NetworkError::Code::timedOut ? u"请求超时"_s : u"网络连接失败"_s;
    } catch (const CalendarStoreError&) {
        return u"无法访问日历，请检查地址、用户名和密码"_s;
    } catch (const KeychainError&) {
        return u"无法读取系统密钥环"_s;
    } catch (...) {
        return fallback;
    }
}

}  // namespace zorbel
