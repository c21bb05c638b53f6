#include "core/LLMError.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

}  // namespace zorbel
