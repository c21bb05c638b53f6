#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace zorbel {

/// What kind of content a capture sends; keys cloud consent.
enum class CaptureKind { voice, file, paste, image };

/// The raw value ("voice", "file", "paste", "image").
QString rawValue(CaptureKind kind);
/// The kind whose raw value is exactly `raw` (case-sensitive), or nothing.
std::optional<CaptureKind> captureKindFromRawValue(const QString& raw);

/// The provider the next model request will use, and whether content stays on the machine.
struct ProviderRoute {
    QString id;
    bool isLocal = false;
    /// The origin content goes to, for a provider whose address the user sets; else empty.
    QString destination = {};
    bool operator==(const ProviderRoute&) const = default;
};

/// An encoded image ready for the model.
struct PreparedImage {
    QByteArray data;
    QString mimeType;  ///< always "image/jpeg" as the file extractor makes it
    bool operator==(const PreparedImage&) const = default;
};

/// A system permission a capture or a calendar write needs.
/// Told how far the reading of a scanned document has come: `done` of `total` pages
/// recognised. Called on the thread that reads.
using PageProgress = std::function<void(int done, int total)>;

enum class ProtectedCapability { microphone, speechRecognition, calendar };

/// The case name ("microphone", "speechRecognition", "calendar").
const char* caseName(ProtectedCapability capability);

/// The answer to a permission request.
enum class PermissionResult { granted, denied, restricted };

}  // namespace zorbel
