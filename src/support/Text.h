#pragma once

#include <QString>
#include <QStringView>

namespace zorbel {

/// `text` without leading and trailing spaces and tabs (line breaks are kept).
inline QStringView trimSpacesAndTabs(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
    return text.mid(begin, end - begin);
}

/// The first `size` characters of `text`, a surrogate pair kept whole.
inline QString leftWhole(const QString& text, qsizetype size) {
    if (text.size() <= size) return text;
    if (size > 0 && text.at(size - 1).isHighSurrogate()) --size;
    return text.left(size);
}

/// `text` with CR LF and lone CR as LF, and without the other C0 and C1 control characters
/// and DEL (tab and LF are kept): calendar files forbid them and a terminal obeys them.
inline QString withoutControlCharacters(QStringView text) {
    QString kept;
    kept.reserve(text.size());
    qsizetype run = 0;  // where the characters not yet copied to `kept` begin
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\t' || c == u'\n' || (c >= 0x20 && c < 0x7f) || c > 0x9f) continue;
        kept += text.sliced(run, i - run);
        if (c == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) kept += u'\n';
        run = i + 1;
    }
    kept += text.sliced(run);
    return kept;
}

}  // namespace zorbel
