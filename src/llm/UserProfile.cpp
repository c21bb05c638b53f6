#include "llm/UserProfile.h"

#include <QTextBoundaryFinder>

namespace zorbel::UserProfile {

using namespace Qt::Literals::StringLiterals;

namespace {

/// The first `count` grapheme clusters of `text`.
QString firstCharacters(const QString& text, qsizetype count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype end = 0;
    while (kept < count) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0) return text;
        end = next;
        ++kept;
    }
    return text.left(end);
}

}  // namespace

QString persona(const Preferences& defaults) {
    return defaults.string(QLatin1String(personaKey)).value_or(QString());
}

void setPersona(Preferences& defaults, const QString& text) {
    defaults.setValue(QLatin1String(personaKey), text);
}

std::optional<QString> personaPromptSection(const Preferences& defaults) {
    const QString trimmed = persona(defaults).trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    return u"使用者背景："_s + firstCharacters(trimmed, personaMaxPromptChars) +
           u"\n请在提取日程时结合使用者背景判断（如职业习惯、常见地点、常用提醒偏好）。"_s;
}

}  // namespace zorbel::UserProfile
