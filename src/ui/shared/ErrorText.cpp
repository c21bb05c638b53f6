#include "ui/shared/ErrorText.h"

#include <QCoreApplication>

#include "calendar/CalendarTypes.h"
#include "core/CredentialStoring.h"
#include "core/LLMError.h"
#include "support/Errors.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

/// The translation context of the service errors' texts.
struct ErrorText {
    Q_DECLARE_TR_FUNCTIONS(ErrorText)
};

QString llmText(const LLMError& error) {
    switch (error.kind()) {
        case LLMError::Kind::httpStatus:
            return ErrorText::tr("LLM 服务返回 HTTP %1").arg(error.status());
        case LLMError::Kind::noProvider:
            return ErrorText::tr("未配置 LLM（自动扫描未发现本地服务，请在设置中手动配置）");
        case LLMError::Kind::badResponse:
            return ErrorText::tr("LLM 响应格式异常（缺 choices/message/content）");
        case LLMError::Kind::badJSON:
            return ErrorText::tr("LLM 输出中无可用 JSON");
        case LLMError::Kind::insecureURL:
            return ErrorText::tr("服务地址未加密（http），不能发送 API Key，请改用 https");
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
        return network.code() == NetworkError::Code::timedOut ? ErrorText::tr("请求超时")
                                                              : ErrorText::tr("网络连接失败");
    } catch (const CalendarStoreError&) {
        return ErrorText::tr("无法访问日历，请检查地址、用户名和密码");
    } catch (const KeychainError&) {
        return ErrorText::tr("无法读取系统密钥环");
    } catch (...) {
        return fallback;
    }
}

}  // namespace zorbel
