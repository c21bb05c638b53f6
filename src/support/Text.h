#pragma once

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

}  // namespace zorbel
