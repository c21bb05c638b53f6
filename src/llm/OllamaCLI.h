#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

/// The `ollama` command-line tool: finding it and pulling a model with it.
///
/// Threads: call from the GUI thread; the child process runs asynchronously and both callbacks
/// are invoked on the GUI thread. Nothing guards against two pulls at once.
namespace zorbel::OllamaCLI {

/// Where the tool is looked for, in this order; the search path is not consulted.
QStringList candidatePaths();

/// The first candidate that is an executable file; nothing when none is.
std::optional<QString> executablePath(const QStringList& candidates = candidatePaths());

/// The progress text of one output chunk: its last non-empty line, trimmed; nothing when the
/// chunk is not UTF-8 or holds only breaks and spaces.
std::optional<QString> statusOfChunk(const QByteArray& chunk);

/// Runs "<tool> pull <model>" and returns at once. Each output chunk's status goes to `status`;
/// `completion` gets true when the tool exited with 0. No tool: completion(false), nothing
/// logged; failing to launch logs "ollamaPullStart", a non-zero exit "ollamaPullExit".
void pull(const QString& model, std::function<void(const QString&)> status,
          std::function<void(bool)> completion, const QStringList& candidates = candidatePaths());

}  // namespace zorbel::OllamaCLI
