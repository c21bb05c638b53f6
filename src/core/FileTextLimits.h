#pragma once

#include <QSet>
#include <QString>

namespace zorbel::FileTextExtractor {

/// The most user-perceived characters (grapheme clusters) handed on to the model.
inline constexpr qsizetype maxChars = 15000;

/// Extensions (lower case, without the dot) read as pictures.
const QSet<QString>& imageExtensions();

/// True when the lower-cased extension of the file name is a picture extension.
bool isImageFile(const QString& filePath);

/// The lower-cased extension of the file name, without the dot ("" when there is none).
QString lowerExtension(const QString& filePath);

/// A text of at most `maxChars` characters, unchanged; a longer one cut to its first `maxChars`
/// characters and then back to just after the last newline in them, when there is one.
/// Characters are grapheme clusters: an emoji with a modifier or a flag counts as one, and a
/// cluster is never split.
QString truncateToLimit(const QString& text);

/// True when `truncateToLimit` would cut `text`: reading more of its source is of no use.
bool exceedsLimit(const QString& text);

}  // namespace zorbel::FileTextExtractor
