#pragma once

#include <QString>
#include <optional>

namespace zorbel::DocxReader {

/// The most bytes of the document part that are decompressed; a larger (or lying) part is
/// refused, so that a small archive cannot expand without bound.
inline constexpr qint64 maxDocumentBytes = 64LL * 1024 * 1024;

/// True when the file starts like a zip archive (as a .docx does).
bool looksLikeZip(const QString& filePath);

/// The text of the Word (Office Open XML) document in `filePath`: one line per paragraph,
/// joined with "\n", tabs and line breaks kept. Nothing when the file is not a readable
/// archive, has no document part, the part is larger than `maxDocumentBytes` or is not
/// well-formed XML.
std::optional<QString> readText(const QString& filePath);

}  // namespace zorbel::DocxReader
