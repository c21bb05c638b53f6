#pragma once

#include <QString>
#include <optional>
#include <variant>

namespace zorbel {

/// One noteworthy moment, as the log records it. Carries kinds, codes, counts, provider ids,
/// HTTP statuses and durations only: never captured text, event titles or keys.
class AppLogEvent {
public:
    struct Permission {
        QString kind;
        bool granted;
        bool operator==(const Permission&) const = default;
    };
    struct CaptureStarted {
        QString kind;
        bool operator==(const CaptureStarted&) const = default;
    };
    struct StageChanged {
        QString stage;  ///< the stage's case name, e.g. "understanding"
        bool operator==(const StageChanged&) const = default;
    };
    struct RequestFinished {
        QString providerID;
        std::optional<qint64> statusCode;
        qint64 durationMilliseconds;
        bool operator==(const RequestFinished&) const = default;
    };
    struct Failure {
        QString code;
        bool operator==(const Failure&) const = default;
    };
    struct CalendarWrite {
        qint64 succeeded;
        qint64 failed;
        bool operator==(const CalendarWrite&) const = default;
    };
    struct Launch {
        bool operator==(const Launch&) const = default;
    };
    using Value = std::variant<Permission, CaptureStarted, StageChanged, RequestFinished, Failure,
                               CalendarWrite, Launch>;

    static AppLogEvent permission(const QString& kind, bool granted) {
        return {Permission{kind, granted}};
    }
    static AppLogEvent captureStarted(const QString& kind) { return {CaptureStarted{kind}}; }
    static AppLogEvent stageChanged(const QString& stage) { return {StageChanged{stage}}; }
    static AppLogEvent requestFinished(const QString& providerID, std::optional<qint64> statusCode,
                                       qint64 durationMilliseconds) {
        return {RequestFinished{providerID, statusCode, durationMilliseconds}};
    }
    static AppLogEvent failure(const QString& code) { return {Failure{code}}; }
    static AppLogEvent calendarWrite(qint64 succeeded, qint64 failed) {
        return {CalendarWrite{succeeded, failed}};
    }
    static AppLogEvent launch() { return {Launch{}}; }

    const Value& value() const { return m_value; }
    bool operator==(const AppLogEvent&) const = default;

    /// The log text: the case name, then the labelled values in parentheses, e.g.
    /// `permission(kind: "calendar", granted: false)`.
    QString rendered() const;

    /// A text value as the log writes it: in double quotes, inner quotes and backslashes
    /// escaped with a backslash.
    static QString quoted(const QString& text);

private:
    AppLogEvent(Value value) : m_value(std::move(value)) {}  // NOLINT: used by the factories
    Value m_value;
};

}  // namespace zorbel
