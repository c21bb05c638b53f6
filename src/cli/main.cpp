// zorbel-extract: the capture pipeline on the command line, over the same libraries as the ball.
// Reads text, a file or a recorded WAV, asks the configured model (or the built-in provider),
// prints the events as JSON or iCalendar, or writes them to the configured calendar.

#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <QTimeZone>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "calendar/CalendarWriter.h"
#include "calendar/EventValidationError.h"
#include "calendar/ICalendarMapping.h"
#include "capture/CaptureCoordinator.h"
#include "capture/ExtractorRouter.h"
#include "capture/ProcessingStatusPresentation.h"
#include "cli/CommandLineServices.h"
#include "cli/EventJson.h"
#include "input/DocumentModule.h"
#include "input/SpeechModule.h"
#include "input/SpeechService.h"
#include "input/SystemFileExtractor.h"
#include "llm/KeychainCredentialStore.h"
#include "llm/LLMClient.h"
#include "rules/RuleBasedExtractor.h"
#include "rules/RuleEngine.h"
#include "support/UiLanguage.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;

namespace {

enum ExitCode { ok = 0, usage = 1, failed = 2, partlyWritten = 3 };

/// The translation context of the program's own messages and its --help.
struct CliText {
    Q_DECLARE_TR_FUNCTIONS(CliText)
};

struct Request {
    enum class Input { text, file, voice } input = Input::text;
    QString value;  ///< the text, or the path of the file or recording
    bool allowCloud = false;
    bool ics = false;
    bool write = false;
    bool applyChanges = false;  ///< moves and cancellations change the events they concern
    bool undo = false;          ///< takes back the last write instead of reading anything
    bool explain = false;       ///< tells what the built-in rules read and left out
    LLMClientOptions client;    ///< --preset and --now
};

void printState(const CaptureState& state) {
    const ProcessingStatusPresentation shown = ProcessingStatusPresentation::make(state);
    QTextStream err(stderr);
    err << shown.title << '\n';
    if (shown.detail) err << *shown.detail << '\n';
}

/// Waits for the local servers' answer when the chosen provider is, or may be, one of them.
QCoro::Task<> discoverLocalServers(LLMClient& client) {
    const QString preset = client.currentPreset().id;
    if (preset != u"auto" && preset != u"ollama" && preset != u"lmstudio") co_return;
    co_await client.scanLocalProviders();
}

/// Whether all of `data` reached standard output (a full disk or a closed pipe fails it).
bool printed(const QByteArray& data) {
    QFile out;
    if (out.open(stdout, QIODevice::WriteOnly) && out.write(data) == data.size() && out.flush()) {
        return true;
    }
    QTextStream(stderr) << CliText::tr("无法写出结果") << u'\n';
    return false;
}

QCoro::Task<int> writeEvents(CalendarWriter& writer, const QList<ExtractedEvent>& events,
                             bool applyChanges) {
    // The same checks as the confirm panel's write button: nothing invalid is written.
    for (const ExtractedEvent& event : events) {
        const QList<EventValidationError> errors = validationErrors(event);
        if (errors.isEmpty()) continue;
        QTextStream(stderr) << message(errors.first()) << u'\n';
        co_return failed;
    }
    try {
        // What the target calendar already holds is not written again. Moves and cancellations
        // change the events they concern when asked to (not a repeating one), else they are
        // added as new events; the receipt says what it found and what it did.
        const QList<CalendarChoice> calendars = co_await writer.writableCalendars();
        const QString target = calendars.isEmpty() ? QString() : calendars.first().id;
        const std::optional<CalendarComparison> comparison =
            co_await writer.compare(events, target);
        QList<EventToWrite> fresh;
        QList<EventChange> changes;
        for (qsizetype i = 0; i < events.size(); ++i) {
            const CalendarMatch match = comparison ? comparison->matches[i] : CalendarMatch{};
            if (match.relation == CalendarRelation::alreadyThere) continue;
            const QString uid = ICalendarMapping::newUid();
            if (applyChanges && EventMatching::isChange(match, comparison->existing)) {
                changes.append({uid, match.relation == CalendarRelation::cancels,
                                comparison->existing[match.existing], events[i]});
            } else {
                fresh.append({uid, events[i]});
            }
        }
        const WriteReceipt receipt = co_await writer.write(fresh, target, changes);
        QJsonObject printedReceipt = receiptJson(receipt);
        printedReceipt.insert(u"calendarCheck"_s, calendarCheckJson(events, comparison));
        printedReceipt.insert(u"changes"_s, changesJson(changes, receipt));
        QTextStream(stdout) << QJsonDocument(printedReceipt).toJson();
        co_return receipt.failures.isEmpty() ? ok : partlyWritten;
    } catch (const std::exception&) {
        printState(
            CaptureState::failure(UserFacingFailure::of(UserFacingFailure::Kind::calendarWrite)));
        co_return failed;
    }
}

/// Takes back the last write and prints what was done: {"undone": n, "left": [{uid, reason}]}.
QCoro::Task<int> undoLastWrite(CalendarWriter& writer) {
    const std::optional<UndoReceipt> receipt = co_await writer.undo();
    if (!receipt) {
        QTextStream(stderr) << CliText::tr("没有可撤销的写入") << u'\n';
        co_return failed;
    }
    QJsonArray left;
    for (const WriteFailure& failure : receipt->left) {
        left.append(QJsonObject{{u"uid"_s, failure.uid}, {u"reason"_s, failure.reasonCode}});
    }
    const QJsonObject printedReceipt{{u"undone"_s, receipt->undone}, {u"left"_s, left}};
    QTextStream(stdout) << QJsonDocument(printedReceipt).toJson();
    co_return receipt->left.isEmpty() ? ok : partlyWritten;
}

/// What the built-in rules read in `text` and left out, each with the rule that did, on
/// standard error: a wrong drop is found at a glance.
void explainRules(const QString& text, const QDateTime& now) {
    QList<RuleEngine::Drop> dropped;
    RuleEngine::extract(text, now, QTimeZone::systemTimeZone(), &dropped);
    QTextStream err(stderr);
    for (const RuleEngine::Drop& drop : dropped)
        err << u"left out ("_s << drop.rule << u"): "_s << drop.text << '\n';
}

QCoro::Task<int> run(Request request) {
    if (request.explain) explainRules(request.value, request.client.now());
    const auto preferences = Preferences::standard();
    const auto credentials = std::make_shared<KeychainCredentialStore>();
    if (request.undo) {
        CalendarWriter writer(preferences, credentials);
        co_return co_await undoLastWrite(writer);
    }
    const auto gate = std::make_shared<CloudTransmissionGate>(
        preferences, terminalConsentPrompt(request.allowCloud));
    std::shared_ptr<SpeechService> recogniser;
    if (request.input == Request::Input::voice) {
        recogniser = std::make_shared<SpeechService>(
            SpeechService::pickRecognizer(
                SpeechService::preferredLanguages(),
                SpeechService::systemRecognizers(
                    preferences, credentials,
                    std::make_shared<ModuleSpeechRecognizer>(speechModule()))),
            nullptr, gate);
    }
    // The desktop's client and route, with the provider and the current instant the command
    // line may give for this run only.
    const auto model = std::make_shared<LLMClient>(preferences, credentials, request.client);
    LLMClient& client = *model;
    co_await discoverLocalServers(client);

    CaptureCoordinator coordinator(
        std::make_shared<RecordedSpeech>(recogniser, request.value),
        std::make_shared<SystemFileExtractor>(std::make_shared<DocumentModule>()),
        std::make_shared<ExtractorRouter>(model,
                                          std::make_shared<RuleBasedExtractor>(request.client.now)),
        std::make_shared<GrantedPermissions>(), gate);
    QList<ExtractedEvent> events;
    coordinator.onEventsReady = [&events](QList<ExtractedEvent> ready) { events = ready; };
    // A long scan tells its pages where someone watches.
    if (isatty(STDERR_FILENO)) {
        coordinator.onStateChange = [shown = QString()](const CaptureState& state) mutable {
            const QString title = ProcessingStatusPresentation::make(state).title;
            if (state.pages() && title != shown) printState(state);
            shown = title;
        };
    }

    switch (request.input) {
        case Request::Input::text:
            co_await coordinator.handleText(request.value);
            break;
        case Request::Input::file:
            co_await coordinator.handleFile(request.value);
            break;
        case Request::Input::voice:
            co_await coordinator.startVoiceCapture();
            co_await coordinator.finishVoiceCapture();
            break;
    }
    if (coordinator.state().kind() != CaptureState::Kind::confirmation) {
        printState(coordinator.state());
        co_return failed;
    }
    if (request.write) {
        CalendarWriter writer(preferences, credentials);
        co_return co_await writeEvents(writer, events, request.applyChanges);
    }
    const QByteArray output = request.ics ? ICalendarMapping::calendarObject(events)
                                          : QJsonDocument(eventsJson(events)).toJson();
    co_return printed(output) ? ok : failed;
}

/// The request the arguments describe, or nothing after printing why they do not.
std::optional<Request> parse(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        CliText::tr("用 Zorbel 设置中选择的模型从文字、文件或录音中提取日程，输出 JSON（默认）或 "
                    "iCalendar，或写入日历。\n\n"
                    "退出状态：0 找到日程（并已写入或撤销）；2 提取或写入失败，或没有可撤销的写入"
                    "（原因见标准错误）；3 有日程未能写入或撤销；1 用法错误。"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption text(u"text"_s, CliText::tr("要分析的文字。"), u"TEXT"_s);
    const QCommandLineOption voice(u"voice"_s, CliText::tr("16 kHz 单声道 WAV 录音。"), u"WAV"_s);
    const QCommandLineOption allowCloud(
        u"allow-cloud"_s,
        CliText::tr("同意发送到云端模型（与在提示中选择“继续”相同，并被记住）。"));
    const QCommandLineOption ics(u"ics"_s, CliText::tr("以 iCalendar 输出。"));
    const QCommandLineOption preset(
        u"preset"_s, CliText::tr("本次使用的提供方（不改设置），如 builtin 为内置规则（离线）。"),
        u"ID"_s);
    const QCommandLineOption now(
        u"now"_s, CliText::tr("参考时间，ISO 8601（如 2026-12-06T10:00:00+08:00）。"), u"TIME"_s);
    const QCommandLineOption write(
        u"write"_s, CliText::tr("写入设置中的日历并输出回执；日历中已有的日程不再写入。"));
    const QCommandLineOption applyChanges(
        u"apply-changes"_s,
        CliText::tr("与 --write 一起：改期和取消直接修改日历中的原日程（否则另建新日程）。"));
    const QCommandLineOption undo(
        u"undo"_s, CliText::tr("撤销上次写入（10 分钟内）；此后在别处改过的日程不动。"));
    const QCommandLineOption explain(
        u"explain"_s,
        CliText::tr("在标准错误上列出内置规则读到却未当作日程的日期和原因（仅文字输入）。"));
    parser.addOptions(
        {text, voice, allowCloud, ics, write, applyChanges, undo, preset, now, explain});
    parser.addPositionalArgument(u"FILE"_s,
                                 CliText::tr("PDF、Word、文本或图片；- 表示从标准输入读文字。"));
    parser.process(app);

    Request request;
    request.allowCloud = parser.isSet(allowCloud);
    request.ics = parser.isSet(ics);
    request.write = parser.isSet(write);
    request.applyChanges = parser.isSet(applyChanges);
    request.undo = parser.isSet(undo);
    request.explain = parser.isSet(explain);
    if (parser.isSet(preset)) {
        const QString id = parser.value(preset);
        if (LLMClient::preset(id).id != id) {
            QTextStream(stderr) << CliText::tr("未知的提供方：%1").arg(id) << '\n';
            return std::nullopt;
        }
        request.client.presetOverride = id;
    }
    if (parser.isSet(now)) {
        const QDateTime instant = QDateTime::fromString(parser.value(now), Qt::ISODate);
        if (!instant.isValid()) {
            QTextStream(stderr) << CliText::tr("不是 ISO 8601 时间：%1").arg(parser.value(now))
                                << '\n';
            return std::nullopt;
        }
        request.client.now = [instant] { return instant.toUTC(); };
    }
    const QStringList files = parser.positionalArguments();
    const int inputs = int(parser.isSet(text)) + int(parser.isSet(voice)) + int(files.size());
    if (inputs != int(!request.undo) || (request.undo && (request.ics || request.write)) ||
        (request.ics && request.write) || (request.applyChanges && !request.write) ||
        (request.explain &&
         (parser.isSet(voice) || (files.size() == 1 && files.first() != u"-")))) {
        QTextStream(stderr) << parser.helpText();
        return std::nullopt;
    }
    if (request.undo) return request;
    if (parser.isSet(text)) {
        request.value = parser.value(text);
    } else if (parser.isSet(voice)) {
        request.input = Request::Input::voice;
        request.value = QFileInfo(parser.value(voice)).absoluteFilePath();
    } else if (files.first() == u"-") {
        // Standard input is read up to a bound, so that an endless stream is refused rather
        // than filling the memory.
        constexpr qint64 maxInput = 64 * 1024 * 1024;
        QFile in;
        QByteArray data;
        if (in.open(stdin, QIODevice::ReadOnly)) {
            // A pipe gives its bytes a piece at a time.
            while (data.size() <= maxInput) {
                const QByteArray piece = in.read(maxInput + 1 - data.size());
                if (piece.isEmpty()) break;
                data += piece;
            }
        }
        if (data.size() > maxInput) {
            QTextStream(stderr) << CliText::tr("输入超过 64 MB") << u'\n';
            return std::nullopt;
        }
        request.value = QString::fromUtf8(data);
    } else {
        request.input = Request::Input::file;
        request.value = QFileInfo(files.first()).absoluteFilePath();
    }
    return request;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"zorbel-extract"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZORBEL_VERSION));
    installUiTranslation();
    const std::optional<Request> request = parse(app);
    if (!request) return usage;
    QTimer::singleShot(0, &app, [request = *request] {
        [](Request r) -> QCoro::Task<> {
            QCoreApplication::exit(co_await run(std::move(r)));
        }(request);
    });
    const int code = QCoreApplication::exec();
    // What the last turn of the loop handed to deleteLater (network replies) goes now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}
