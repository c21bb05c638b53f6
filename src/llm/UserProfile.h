#pragma once

#include <QString>
#include <optional>

#include "support/Preferences.h"

/// The user's free-text persona, added to the extraction prompt.
namespace zorbel::UserProfile {

/// The preference key of the persona.
inline constexpr const char* personaKey = "user.persona";
/// The most user-perceived characters of the persona that reach the prompt.
inline constexpr qsizetype personaMaxPromptChars = 500;

/// The stored persona; empty when absent.
QString persona(const Preferences& defaults);
/// Stores the persona as given (an empty text is stored, not removed).
void setPersona(Preferences& defaults, const QString& text);
/// The prompt section for the persona, or nothing when it is blank.
std::optional<QString> personaPromptSection(const Preferences& defaults);

}  // namespace zorbel::UserProfile
