#pragma once

#include <QString>

#include "support/Errors.h"

namespace zorbel {

/// Why the language-model client could not give events.
class LLMError : public Error {
public:
    enum class Kind { httpStatus, noProvider, badResponse, badJSON, insecureURL };

    static LLMError httpStatus(int status) { return LLMError(Kind::httpStatus, status); }
    static LLMError of(Kind kind) { return LLMError(kind, 0); }

    Kind kind() const { return m_kind; }
    /// The HTTP status of `httpStatus`; 0 otherwise.
    int status() const { return m_status; }

    bool operator==(const LLMError& other) const {
        return m_kind == other.m_kind && m_status == other.m_status;
    }

private:
    LLMError(Kind kind, int status) : Error("llm"), m_kind(kind), m_status(status) {}

    Kind m_kind;
    int m_status;
};

}  // namespace zorbel
