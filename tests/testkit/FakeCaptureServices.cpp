#include "testkit/FakeCaptureServices.h"

#include <algorithm>
#include <iterator>

#include "testkit/EventLoop.h"

namespace zorbel::test {

namespace {

ExtractedEvent reviewMeeting() {
    ExtractedEvent event;
    event.title = QStringLiteral("项目评审");
    event.startDate = QDateTime(QDate(2026, 12, 11), QTime(2, 0), Qt::UTC);
    event.endDate = event.startDate.addSecs(3600);
    event.location = QStringLiteral("三楼会议室");
    return event;
}

}  // namespace

void FakeSpeech::start() {
    ++starts;
    if (whileStarting) whileStarting();
    if (startError) std::rethrow_exception(startError);
}

QCoro::Task<QString> FakeSpeech::stopAndTranscribe(CancellationToken token) {
    return transcript.call(token);
}

QCoro::Task<QString> FakeFileExtractor::extractText(QString filePath, CancellationToken token) {
    textPaths.append(filePath);
    return text.call(token);
}

QCoro::Task<PreparedImage> FakeFileExtractor::extractImage(QString filePath,
                                                           CancellationToken token) {
    imagePaths.append(filePath);
    return image.call(token);
}

FakeEventExtractor::FakeEventExtractor() : reply(QList<ExtractedEvent>{reviewMeeting()}) {}

QCoro::Task<QList<ExtractedEvent>> FakeEventExtractor::extractEvents(QString text, QString source,
                                                                     CancellationToken token) {
    sources.append(source);
    texts.append(text);
    return reply.call(token);
}

QCoro::Task<QList<ExtractedEvent>> FakeEventExtractor::extractEvents(PreparedImage image,
                                                                     QString source,
                                                                     CancellationToken token) {
    sources.append(source);
    images.append(image);
    return reply.call(token);
}

QCoro::Task<bool> FakeConsentGate::authorize(QString providerID, CaptureKind kind,
                                             QString destination) {
    questions.append({providerID, kind});
    destinations.append(destination);
    return answer.call();
}

bool FakeCaptureServices::settle() {
    const auto releaseAll = [](auto& script) {
        script.hold(false);
        while (script.waiting() > 0) script.release();
        return script.settled();
    };
    return spinUntil([&] {
        // Evaluate every script each round: a released call may wait on another one next.
        const bool settled[] = {releaseAll(speech->transcript), releaseAll(files->text),
                                releaseAll(files->image),       releaseAll(model->reply),
                                releaseAll(permissions->voice), releaseAll(permissions->calendar),
                                releaseAll(consent->answer)};
        return std::all_of(std::begin(settled), std::end(settled), [](bool s) { return s; });
    });
}

}  // namespace zorbel::test
