#pragma once

namespace zorbel {

/// The stage a capture is in while the ball shows `processing`.
enum class ProcessingStage {
    extracting,             ///< reading a dropped file (text extraction, OCR, image preparation)
    transcribing,           ///< turning the recorded speech into text
    understanding,          ///< the language model is extracting events
    preparingConfirmation,  ///< events arrived; the confirmation is being set up
};

/// The case name, as the log writes it ("understanding").
constexpr const char* caseName(ProcessingStage stage) {
    switch (stage) {
        case ProcessingStage::extracting:
            return "extracting";
        case ProcessingStage::transcribing:
            return "transcribing";
        case ProcessingStage::understanding:
            return "understanding";
        case ProcessingStage::preparingConfirmation:
            return "preparingConfirmation";
    }
    return "extracting";
}

}  // namespace zorbel
