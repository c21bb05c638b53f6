#pragma once

// Scriptable stand-ins for the five capture services. Each asynchronous operation answers with
// a scripted value or error, either at once or, while held, only when the test releases the
// waiting call; a released call resumes from the event loop, as a real service would. Every
// call records its arguments and its cancellation token.
//
// A test must release every call it held before it ends (FakeCaptureServices::settle does), or
// the suspended coroutines are never freed.

#include <qcoro/qcorotask.h>
#include <QCoreApplication>
#include <QList>
#include <QPair>
#include <QStringList>
#include <algorithm>
#include <coroutine>
#include <deque>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <variant>

#include "core/CaptureServices.h"
#include "support/CancellationToken.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"

namespace zorbel::test {

/// One scripted asynchronous operation returning T.
template <typename T>
class ScriptedCall {
public:
    explicit ScriptedCall(T answer) : m_outcome(std::move(answer)) {}
    ScriptedCall(const ScriptedCall&) = delete;
    ScriptedCall& operator=(const ScriptedCall&) = delete;

    /// What calls give from now on (a held call: what it gives when released).
    void answer(T value) { m_outcome = std::move(value); }
    template <typename E>
    void fail(E error) {
        m_outcome = std::make_exception_ptr(std::move(error));
    }
    /// While held, every call waits until the test releases it.
    void hold(bool held = true) { m_held = held; }
    /// When set, a call whose token is cancelled by the time it answers ends with CancelledError
    /// instead, as a service honouring cancellation does.
    void honourCancellation(bool honour = true) { m_honoursCancellation = honour; }

    /// Lets the waiting call `index` (0 = the oldest) go on with the answer set now.
    void release(qsizetype index = 0) {
        Waiting* waiting = m_waiting.at(index);
        m_waiting.erase(m_waiting.begin() + index);
        waiting->outcome = m_outcome;
        ++m_resuming;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, handle = waiting->handle] {
                handle.resume();
                --m_resuming;
            },
            Qt::QueuedConnection);
    }
    /// Calls waiting to be released.
    qsizetype waiting() const { return qsizetype(m_waiting.size()); }
    /// True when no call waits and every released one has run on.
    bool settled() const { return m_waiting.empty() && m_resuming == 0; }
    /// Calls made so far.
    qsizetype calls() const { return m_tokens.size(); }
    /// The cancellation token of each call, in order.
    const QList<CancellationToken>& tokens() const { return m_tokens; }

    /// The operation itself, for the fake that owns this script.
    QCoro::Task<T> call(CancellationToken token = {}) {
        m_tokens.append(token);
        Outcome outcome = m_outcome;
        if (m_held) {
            Waiting waiting;
            m_waiting.push_back(&waiting);
            co_await Suspend{&waiting};
            outcome = std::move(waiting.outcome);
        }
        if (m_honoursCancellation) token.throwIfCancelled();
        if (auto* error = std::get_if<std::exception_ptr>(&outcome)) std::rethrow_exception(*error);
        co_return std::get<T>(std::move(outcome));
    }

private:
    using Outcome = std::variant<T, std::exception_ptr>;

    struct Waiting {
        std::coroutine_handle<> handle;
        Outcome outcome;
    };
    struct Suspend {
        Waiting* waiting;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { waiting->handle = handle; }
        void await_resume() const noexcept {}
    };

    Outcome m_outcome;
    bool m_held = false;
    bool m_honoursCancellation = false;
    std::deque<Waiting*> m_waiting;
    int m_resuming = 0;
    QList<CancellationToken> m_tokens;
};

class FakeSpeech : public SpeechCapturing {
public:
    void start() override {
        ++starts;
        if (whileStarting) whileStarting();
        if (startError) std::rethrow_exception(startError);
    }
    QCoro::Task<QString> stopAndTranscribe(CancellationToken token) override {
        return transcript.call(token);
    }
    void cancel() override { ++cancels; }

    ScriptedCall<QString> transcript{QStringLiteral("明天下午三点和王经理开会")};
    /// Thrown by `start()` when set.
    std::exception_ptr startError;
    /// Run inside `start()`, e.g. to let a cancel arrive while the recorder starts.
    std::function<void()> whileStarting;
    int starts = 0;
    int cancels = 0;
};

class FakeFileExtractor : public FileExtracting {
public:
    QCoro::Task<QString> extractText(QString filePath, CancellationToken token,
                                     PageProgress progress) override {
        textPaths.append(filePath);
        if (progress) {
            for (const auto& [done, total] : pages) progress(done, total);
        }
        return text.call(token);
    }
    QCoro::Task<PreparedImage> extractImage(QString filePath, CancellationToken token) override {
        imagePaths.append(filePath);
        return image.call(token);
    }

    ScriptedCall<QString> text{QStringLiteral("周五 10:00 项目评审\n地点：三楼会议室\n")};
    /// Told to the progress before the text is given, as a scanned document would.
    QList<std::pair<int, int>> pages;
    ScriptedCall<PreparedImage> image{
        PreparedImage{QByteArray("\xff\xd8\xff\xe0"), QStringLiteral("image/jpeg")}};
    QStringList textPaths;
    QStringList imagePaths;
};

class FakeEventExtractor : public EventExtracting {
public:
    ProviderRoute providerRoute() const override { return route; }
    bool supportsVisionInput() const override { return vision; }
    QCoro::Task<QList<ExtractedEvent>> extractEvents(QString text, QString source,
                                                     CancellationToken token) override {
        sources.append(source);
        texts.append(text);
        return reply.call(token);
    }
    QCoro::Task<QList<ExtractedEvent>> extractEvents(PreparedImage image, QString source,
                                                     CancellationToken token) override {
        sources.append(source);
        images.append(image);
        return reply.call(token);
    }

    ProviderRoute route{QStringLiteral("ollama"), true};
    bool vision = false;
    /// The answer of both requests; by default one event, a review on Friday 11 December.
    ScriptedCall<QList<ExtractedEvent>> reply{QList<ExtractedEvent>{[] {
        ExtractedEvent event;
        event.title = QStringLiteral("项目评审");
        event.startDate = QDateTime(QDate(2026, 12, 11), QTime(2, 0), Qt::UTC);
        event.endDate = event.startDate.addSecs(3600);
        event.location = QStringLiteral("三楼会议室");
        return event;
    }()}};
    /// The source label of every request, text or picture, in order.
    QStringList sources;
    QStringList texts;
    QList<PreparedImage> images;
};

class FakePermissions : public PermissionRequesting {
public:
    QCoro::Task<PermissionResult> requestVoiceCapture() override { return voice.call(); }
    QCoro::Task<PermissionResult> requestCalendarWrite() override { return calendar.call(); }

    ScriptedCall<PermissionResult> voice{PermissionResult::granted};
    ScriptedCall<PermissionResult> calendar{PermissionResult::granted};
};

class FakeConsentGate : public CloudTransmissionAuthorizing {
public:
    QCoro::Task<bool> authorize(QString providerID, CaptureKind kind, QString) override {
        questions.append({providerID, kind});
        return answer.call();
    }

    ScriptedCall<bool> answer{true};
    /// Every question asked: the provider and the kind of content.
    QList<QPair<QString, CaptureKind>> questions;
};

/// The five fakes together, shared with the coordinator under test.
struct FakeCaptureServices {
    std::shared_ptr<FakeSpeech> speech = std::make_shared<FakeSpeech>();
    std::shared_ptr<FakeFileExtractor> files = std::make_shared<FakeFileExtractor>();
    std::shared_ptr<FakeEventExtractor> model = std::make_shared<FakeEventExtractor>();
    std::shared_ptr<FakePermissions> permissions = std::make_shared<FakePermissions>();
    std::shared_ptr<FakeConsentGate> consent = std::make_shared<FakeConsentGate>();

    /// Stops holding, releases every waiting call and drives the event loop until all have run
    /// on; returns false when they have not after ten seconds.
    bool settle() {
        const auto releaseAll = [](auto& script) {
            script.hold(false);
            while (script.waiting() > 0) script.release();
            return script.settled();
        };
        return spinUntil([&] {
            // Evaluate every script each round: a released call may wait on another one next.
            const bool settled[] = {
                releaseAll(speech->transcript), releaseAll(files->text),
                releaseAll(files->image),       releaseAll(model->reply),
                releaseAll(permissions->voice), releaseAll(permissions->calendar),
                releaseAll(consent->answer)};
            return std::all_of(std::begin(settled), std::end(settled), [](bool s) { return s; });
        });
    }
};

}  // namespace zorbel::test
