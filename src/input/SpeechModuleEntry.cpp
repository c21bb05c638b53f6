// The speech module: the microphone (Qt Multimedia) and on-device recognition (PocketSphinx),
// which the programs load on their first recording.

#include <QtGlobal>

#include "input/SpeechParts.h"

extern "C" Q_DECL_EXPORT const zorbel::SpeechParts* zorbel_speech_parts() {
    // linkedSpeechParts keeps its instance for the life of the process.
    return zorbel::linkedSpeechParts().get();
}
