#include "rules/Lexicon.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace zorbel::rules {

const Lexicon& Lexicon::shared() {
    static const Lexicon lexicon = [] {
        Lexicon built;
        for (const char* name : {":/zorbel/rules/zh.words", ":/zorbel/rules/en.words"}) {
            QFile file(QString::fromLatin1(name));
            if (file.open(QIODevice::ReadOnly)) built.read(QString::fromUtf8(file.readAll()));
        }
        return built;
    }();
    return lexicon;
}

void Lexicon::read(const QString& text) {
    QString section;
    for (const QString& rawLine : text.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1String(" = "));
        const QString word = equals < 0 ? line : line.left(equals).trimmed();
        const QString value = equals < 0 ? QString() : line.mid(equals + 3).trimmed();
        m_sections[section].insert(word.toLower(), value);
        m_written[section].append(word);
    }
}

std::optional<QString> Lexicon::value(const QString& section, const QString& word) const {
    const auto list = m_sections.constFind(section);
    if (list == m_sections.constEnd()) return std::nullopt;
    const auto found = list->constFind(word.toLower());
    if (found == list->constEnd()) return std::nullopt;
    return *found;
}

int Lexicon::number(const QString& section, const QString& word) const {
    return value(section, word).value_or(QString()).toInt();
}

QString Lexicon::pattern(const QString& section) const {
    QStringList list = words(section);
    std::sort(list.begin(), list.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (QString& word : list) word = QRegularExpression::escape(word);
    return list.join(u'|');
}

QStringList Lexicon::words(const QString& section) const {
    return m_written.value(section);
}

std::optional<int> Lexicon::numeral(const QString& text) const {
    bool isNumber = false;
    const int plain = text.toInt(&isNumber);
    if (isNumber && plain >= 0) return plain;
    if (const auto word = value(QStringLiteral("numerals"), text); word && text.size() > 1)
        return word->toInt();  // "six"
    if (text.isEmpty() || text.size() > 3) return std::nullopt;
    const auto digit = [this](QChar c) -> std::optional<int> {
        const auto found = value(QStringLiteral("numerals"), QString(c));
        if (!found) return std::nullopt;
        return found->toInt();
    };
    int tens = 0;
    int units = 0;
    const qsizetype ten = text.indexOf(u'十');
    if (ten >= 0) {
        if (ten > 1 || text.indexOf(u'十', ten + 1) >= 0) return std::nullopt;
        tens = 1;
        if (ten == 1) {
            const auto first = digit(text.at(0));
            if (!first || *first == 0 || *first > 9) return std::nullopt;
            tens = *first;
        }
        if (ten + 1 < text.size()) {
            if (ten + 2 != text.size()) return std::nullopt;
            const auto last = digit(text.at(ten + 1));
            if (!last || *last > 9) return std::nullopt;
            units = *last;
        }
        return tens * 10 + units;
    }
    // Digits read one by one, as in 零五 (05).
    int result = 0;
    for (const QChar c : text) {
        const auto value = digit(c);
        if (!value || *value > 9) return std::nullopt;
        result = result * 10 + *value;
    }
    return result;
}

}  // namespace zorbel::rules
