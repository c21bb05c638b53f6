#pragma once

#include <QString>

namespace zorbel {

/// The language of the program's texts. The texts are written in Chinese; English comes from
/// the translation embedded as ":/i18n/zorbel_en.qm".
enum class UiLanguage { chinese, english };

/// The preference that picks the language: "system" (or absent), "zh" or "en". Read once at
/// start, so a change applies from the next start.
inline const QString uiLanguageKey = QStringLiteral("ui.language");

/// The locale variables gettext reads for messages.
struct LocaleEnvironment {
    QString language;  ///< LANGUAGE: a colon-separated list, first choice first
    QString lcAll;
    QString lcMessages;
    QString lang;

    /// The variables of this process.
    static LocaleEnvironment current();
};

/// The language for a `setting` ("zh", "en"; anything else follows the environment) and the
/// environment, read as gettext reads it: the messages locale is the first set of LC_ALL,
/// LC_MESSAGES and LANG; unless that is C or POSIX (or nothing is set), LANGUAGE's list comes
/// first and its first Chinese or English entry decides. A zh locale is Chinese, anything else
/// English.
UiLanguage chooseUiLanguage(const QString& setting, const LocaleEnvironment& environment);

/// Installs the English translation in the running application when the standard preference
/// store's setting and the environment choose English; Chinese needs none.
void installUiTranslation();

}  // namespace zorbel
