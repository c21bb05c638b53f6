#pragma once

namespace zorbel {

/// The explanation shown, as a modal message, before the first voice capture asks for the
/// microphone.
void showVoiceExplanation();

}  // namespace zorbel
