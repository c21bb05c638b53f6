#pragma once

#include "support/Errors.h"

namespace zorbel {

/// The user refused to let the content of a capture leave the machine; the capture ends as a
/// refused cloud consent does.
class CloudTransmissionDeclinedError : public Error {
public:
    CloudTransmissionDeclinedError() : Error("cloudTransmissionDeclined") {}
};

}  // namespace zorbel
