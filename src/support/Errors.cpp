#include "support/Errors.h"

namespace zorbel {

const char* Error::what() const noexcept {
    return m_diagnostic.constData();
}

}  // namespace zorbel
