#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace zorbel::rules {

/// The word lists of every language the rules read (data/*.words, compiled in), merged by
/// section. Words are kept lower-cased; lookups fold case too.
class Lexicon {
public:
    /// The lists built into the program, read once.
    static const Lexicon& shared();

    /// Reads lists in the "[section]" / "word = value" format; later lists add to earlier ones.
    void read(const QString& text);

    /// The value of `word` in `section` (an empty value for a word listed without one).
    std::optional<QString> value(const QString& section, const QString& word) const;
    /// The value read as a number; 0 when absent or not a number.
    int number(const QString& section, const QString& word) const;
    /// A regular-expression alternation of the section's words, longest first, escaped.
    QString pattern(const QString& section) const;
    /// The words of a section as written (for lists matched with their case).
    QStringList words(const QString& section) const;

    /// A count written in digits, Chinese numerals (零 to 九十九) or words ("six"), or nothing.
    std::optional<int> numeral(const QString& text) const;

private:
    QHash<QString, QHash<QString, QString>> m_sections;
    QHash<QString, QStringList> m_written;
};

}  // namespace zorbel::rules
