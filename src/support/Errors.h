#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace zorbel {

/// Base of every error an operation of this program throws. Each subsystem derives the typed
/// errors of its own operations (LLMError, FileExtractionError, ...); callers catch by type.
/// Errors are thrown and caught inside one coroutine or call chain, never across the Qt event
/// loop.
class Error : public std::exception {
public:
    /// A short, non-localized text for diagnostics. Never carries user content.
    const char* what() const noexcept override;

protected:
    explicit Error(QByteArray diagnostic) : m_diagnostic(std::move(diagnostic)) {}

private:
    QByteArray m_diagnostic;
};

/// The operation's task was cancelled (a newer capture started, or the user cancelled).
class CancelledError : public Error {
public:
    CancelledError() : Error("cancelled") {}
};

/// A network request failed before or while an answer arrived.
class NetworkError : public Error {
public:
    enum class Code {
        cancelled,    ///< the request was aborted by us
        timedOut,     ///< the request or resource time-out ran out
        tooLarge,     ///< the answer grew past the size it may have
        otherOrigin,  ///< the server pointed to another server, where nothing is sent
        other,        ///< anything else: refused, host not found, TLS, broken connection
    };
    explicit NetworkError(Code code, int detail = 0)
        : Error("network"), m_code(code), m_detail(detail) {}

    Code code() const { return m_code; }
    /// The underlying transport's error number, for the log only.
    int detail() const { return m_detail; }

private:
    Code m_code;
    int m_detail;
};

}  // namespace zorbel
