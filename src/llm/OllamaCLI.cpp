#include "llm/OllamaCLI.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>

#include "llm/LLMClient.h"
#include "support/AppLogger.h"

namespace zorbel::OllamaCLI {

QStringList candidatePaths() {
    // The model client starts `ollama serve` from the same places.
    return LLMClientOptions{}.ollamaExecutables;
}

std::optional<QString> executablePath(const QStringList& candidates) {
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.isFile() && info.isExecutable()) return path;
    }
    return std::nullopt;
}

std::optional<QString> statusOfChunk(const QByteArray& chunk) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(chunk);
    if (decoder.hasError()) return std::nullopt;
    // Line feed, vertical tab, form feed, carriage return, next line, line and paragraph
    // separators; a CR LF pair splits once, and the empty pieces are dropped anyway.
    static const QRegularExpression breaks(
        QStringLiteral("[\\n\\v\\f\\r\\x{85}\\x{2028}\\x{2029}]"));
    const QStringList pieces = text.split(breaks, Qt::SkipEmptyParts);
    if (pieces.isEmpty()) return std::nullopt;
    const QString last = pieces.last().trimmed();
    if (last.isEmpty()) return std::nullopt;
    return last;
}

void pull(const QString& model, std::function<void(const QString&)> status,
          std::function<void(bool)> completion, const QStringList& candidates) {
    const auto tool = executablePath(candidates);
    if (!tool) {
        // Still asynchronous, as when the tool runs.
        QTimer::singleShot(0, [completion = std::move(completion)] { completion(false); });
        return;
    }
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(process, &QProcess::readyRead, process, [process, status] {
        const QByteArray chunk = process->readAll();
        if (chunk.isEmpty()) return;
        if (const auto line = statusOfChunk(chunk)) status(*line);
    });
    QObject::connect(
        process, &QProcess::errorOccurred, process,
        [process, completion](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart) return;
            AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ollamaPullStart")));
            process->disconnect();
            process->deleteLater();
            completion(false);
        });
    QObject::connect(
        process, &QProcess::finished, process,
        [process, status, completion](int exitCode, QProcess::ExitStatus exitStatus) {
            // Output still buffered belongs before the verdict.
            if (const auto line = statusOfChunk(process->readAll())) status(*line);
            process->disconnect();
            process->deleteLater();
            const bool succeeded = exitStatus == QProcess::NormalExit && exitCode == 0;
            if (!succeeded) {
                AppLogger::shared().record(AppLogEvent::failure(QStringLiteral("ollamaPullExit")));
            }
            completion(succeeded);
        });
    process->start(*tool, {QStringLiteral("pull"), model});
}

}  // namespace zorbel::OllamaCLI
