#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>
#include <ostream>
#include <stdexcept>

#include "capture/CaptureCoordinator.h"
#include "capture/ProcessingStatusPresentation.h"
#include "core/CloudTransmissionDeclinedError.h"
#include "core/LLMError.h"
#include "support/AppLogEvent.h"
#include "testkit/EventLoop.h"
#include "testkit/FakeCaptureServices.h"
#include "testkit/LogCapture.h"

using namespace zorbel;
using namespace Qt::Literals::StringLiterals;
using zorbel::test::await;
using zorbel::test::spinUntil;
using F = UserFacingFailure::Kind;
using Stage = ProcessingStage;

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace zorbel {

// Readable failures: the case, and the value each case may carry.
void PrintTo(const CaptureState& state, std::ostream* out) {
    *out << "state " << int(state.kind()) << " at " << caseName(state.stage()) << ", "
         << state.failure().logCode().toStdString();
}

}  // namespace zorbel

namespace {

CaptureState processing(Stage stage) {
    return CaptureState::processing(stage);
}

CaptureState failure(F kind) {
    return CaptureState::failure(UserFacingFailure::of(kind));
}

QString failureLine(const UserFacingFailure& what) {
    return u"event="_s + AppLogEvent::failure(what.logCode()).rendered();
}

const QString kCloudProvider = u"deepseek"_s;

class CaptureCoordinatorTest : public ::testing::Test {
protected:
    CaptureCoordinatorTest() {
        coordinator.onStateChange = [this](CaptureState state) {
            states.append(state);
            logLinesAtStates.append(log.lines().size());
        };
        coordinator.onEventsReady = [this](QList<ExtractedEvent> events) {
            delivered.append(events);
            statesAtDelivery = states.size();
        };
    }

    // Every held call is let go, so no suspended coroutine outlives the test.
    void TearDown() override { ASSERT_TRUE(fakes.settle()); }

    void useCloudProvider() { fakes.model->route = ProviderRoute{kCloudProvider, false}; }

    void drop(const QString& path) { await(coordinator.handleFile(path)); }
    void paste(const QString& text) { await(coordinator.handleText(text)); }

    bool reaches(const CaptureState& state) {
        return spinUntil([&] { return coordinator.state() == state; });
    }

    test::FakeCaptureServices fakes;
    test::LogCapture log;
    CaptureCoordinator coordinator{fakes.speech, fakes.files, fakes.model, fakes.permissions,
                                   fakes.consent};
    QList<CaptureState> states;
    QList<qsizetype> logLinesAtStates;  // product log lines already written at each report
    QList<QList<ExtractedEvent>> delivered;
    qsizetype statesAtDelivery = -1;
};

TEST_F(CaptureCoordinatorTest, FileCaptureWalksTheStagesLoggingEachBeforeReportingIt) {
    fakes.files->pages = {{0, 2}, {1, 2}};
    drop(u"/tmp/review.pdf"_s);

    // A scan's pages show while it is read; the stage is logged once.
    const auto page = [](int done) {
        return CaptureState::processing(Stage::extracting, PagesRecognized{done, 2});
    };
    const QList<CaptureState> expected = {processing(Stage::extracting),
                                          page(0),
                                          page(1),
                                          processing(Stage::understanding),
                                          processing(Stage::preparingConfirmation),
                                          CaptureState::confirmation()};
    EXPECT_EQ(states, expected);
    EXPECT_EQ(ProcessingStatusPresentation::make(page(1)).title, u"正在识别第 2/2 页"_s);
    EXPECT_EQ(log.lines(),
              QStringList({u"event=stageChanged(Zorbel.ProcessingStage.extracting)"_s,
                           u"event=stageChanged(Zorbel.ProcessingStage.understanding)"_s,
                           u"event=stageChanged(Zorbel.ProcessingStage.preparingConfirmation)"_s}));
    // Each stage is logged after it is assigned and before the owner hears of it.
    EXPECT_EQ(logLinesAtStates, QList<qsizetype>({1, 1, 1, 2, 3, 3}));
    // The events arrive between `preparingConfirmation` and `confirmation`.
    ASSERT_EQ(delivered.size(), 1);
    EXPECT_EQ(delivered.first().first().title, u"项目评审"_s);
    EXPECT_EQ(statesAtDelivery, 5);

    EXPECT_EQ(fakes.files->textPaths, QStringList{u"/tmp/review.pdf"_s});
    EXPECT_EQ(fakes.model->sources, QStringList{u"文件内容"_s});
    // The model gets the text as extracted, trailing line break included.
    EXPECT_EQ(fakes.model->texts, QStringList{u"周五 10:00 项目评审\n地点：三楼会议室\n"_s});
}

TEST_F(CaptureCoordinatorTest, APasteIsCutAtALineBreakAndCompletesOnlyWhenItsOperationHas) {
    const QString head = QString(14990, u'a') + u'\n';
    fakes.model->reply.hold();
    QCoro::Task<> pasting = coordinator.handleText(head + QString(5000, u'b'));
    ASSERT_TRUE(spinUntil([&] { return fakes.model->reply.waiting() == 1; }));
    EXPECT_FALSE(pasting.isReady());
    // A paste enters no state before the model is asked.
    EXPECT_EQ(states, QList<CaptureState>{processing(Stage::understanding)});

    fakes.model->reply.release();
    await(std::move(pasting));
    EXPECT_EQ(coordinator.state(), CaptureState::confirmation());
    EXPECT_EQ(fakes.model->sources, QStringList{u"粘贴文本"_s});
    EXPECT_EQ(fakes.model->texts, QStringList{head});
}

TEST_F(CaptureCoordinatorTest, QuickDropsOnlyTheLastDrivesTheState) {
    useCloudProvider();
    fakes.files->text.hold();
    QCoro::Task<> first = coordinator.handleFile(u"/tmp/a.pdf"_s);
    QCoro::Task<> second = coordinator.handleFile(u"/tmp/b.pdf"_s);
    QCoro::Task<> last = coordinator.handleFile(u"/tmp/c.txt"_s);
    ASSERT_EQ(fakes.files->text.waiting(), 3);
    EXPECT_TRUE(fakes.files->text.tokens().at(0).isCancelled());
    EXPECT_TRUE(fakes.files->text.tokens().at(1).isCancelled());
    EXPECT_FALSE(fakes.files->text.tokens().at(2).isCancelled());

    fakes.files->text.answer(u"C: 周六 8:00 爬山"_s);
    fakes.files->text.release(2);
    await(std::move(last));
    ASSERT_EQ(coordinator.state(), CaptureState::confirmation());
    const auto reported = states.size();

    // The older drops' late answers, a text and a failure, change nothing.
    fakes.files->text.answer(u"A: 周日 9:00 早午餐"_s);
    fakes.files->text.release();
    await(std::move(first));
    fakes.files->text.fail(FileExtractionError::of(FileExtractionError::Kind::conversionFailed));
    fakes.files->text.release();
    await(std::move(second));
    EXPECT_EQ(states.size(), reported);
    EXPECT_EQ(fakes.consent->questions.size(), 1);
    EXPECT_EQ(fakes.model->texts, QStringList{u"C: 周六 8:00 爬山"_s});
}

TEST_F(CaptureCoordinatorTest, CancelDuringTranscriptionIgnoresTheLateTranscript) {
    useCloudProvider();
    fakes.speech->transcript.hold();
    // First a service that answers anyway, then one that honours the cancellation.
    for (const bool honours : {false, true}) {
        SCOPED_TRACE(honours ? "honours cancellation" : "answers anyway");
        fakes.speech->transcript.honourCancellation(honours);
        const int cancelsBefore = fakes.speech->cancels;
        coordinator.finishVoiceCapture();
        EXPECT_EQ(coordinator.state(), processing(Stage::transcribing));

        coordinator.cancel();
        EXPECT_EQ(coordinator.state(), CaptureState::idle());
        EXPECT_EQ(fakes.speech->cancels, cancelsBefore + 1);
        EXPECT_TRUE(fakes.speech->transcript.tokens().last().isCancelled());

        const auto reported = states.size();
        fakes.speech->transcript.release();
        ASSERT_TRUE(spinUntil([&] { return fakes.speech->transcript.settled(); }));
        EXPECT_EQ(states.size(), reported);
    }
    EXPECT_TRUE(fakes.model->sources.isEmpty());
}

TEST_F(CaptureCoordinatorTest, ACancelWhileAVoiceCaptureStartsLeavesNoRecording) {
    // While the permission is asked: nothing starts, and nothing is left to retry.
    fakes.permissions->voice.hold();
    coordinator.startVoiceCapture();
    coordinator.cancel();
    fakes.permissions->voice.release();
    ASSERT_TRUE(spinUntil([&] { return fakes.permissions->voice.settled(); }));
    EXPECT_EQ(fakes.speech->starts, 0);
    coordinator.retry();
    EXPECT_EQ(fakes.permissions->voice.calls(), 1);

    // While the recorder starts: cancelled by cancel(), then by the stale recording step.
    fakes.permissions->voice.hold(false);
    fakes.speech->whileStarting = [this] { coordinator.cancel(); };
    const int cancels = fakes.speech->cancels;
    coordinator.startVoiceCapture();
    ASSERT_TRUE(spinUntil([&] { return fakes.permissions->voice.settled(); }));
    EXPECT_EQ(fakes.speech->starts, 1);
    EXPECT_EQ(fakes.speech->cancels, cancels + 2);
    EXPECT_EQ(states, QList<CaptureState>({CaptureState::idle(), CaptureState::idle()}));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(CaptureCoordinatorTest, ACancelFromTheEventsReceiverIsNotOverwritten) {
    coordinator.onEventsReady = [this](QList<ExtractedEvent>) { coordinator.cancel(); };
    paste(u"周日 19:00 家庭聚餐"_s);
    EXPECT_EQ(coordinator.state(), CaptureState::idle());
    EXPECT_FALSE(states.contains(CaptureState::confirmation()));
}

TEST_F(CaptureCoordinatorTest, ACoordinatorGoneMidCaptureDropsTheLateResult) {
    auto owned = std::make_unique<CaptureCoordinator>(fakes.speech, fakes.files, fakes.model,
                                                      fakes.permissions, fakes.consent);
    int reports = 0;
    owned->onStateChange = [&reports](CaptureState) { ++reports; };
    fakes.files->text.hold();
    QCoro::Task<> dropping = owned->handleFile(u"/tmp/late.pdf"_s);
    EXPECT_EQ(reports, 1);
    owned.reset();
    EXPECT_TRUE(fakes.files->text.tokens().first().isCancelled());

    fakes.files->text.release();
    await(std::move(dropping));
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(fakes.model->sources.isEmpty());
}

TEST_F(CaptureCoordinatorTest, VoiceStartNeedsPermissionAndAWorkingRecorderAndRetryRecordsAgain) {
    coordinator.startVoiceCapture();
    ASSERT_TRUE(reaches(CaptureState::recording()));
    EXPECT_EQ(fakes.speech->starts, 1);
    EXPECT_EQ(log.lines(), QStringList{u"event=captureStarted(kind: \"voice\")"_s});
    EXPECT_EQ(logLinesAtStates.last(), 1);
    fakes.speech->transcript.fail(std::runtime_error("recogniser"));
    coordinator.finishVoiceCapture();
    ASSERT_TRUE(reaches(failure(F::emptyCapture)));
    coordinator.retry();  // the user speaks again
    ASSERT_TRUE(reaches(CaptureState::recording()));
    EXPECT_EQ(fakes.permissions->voice.calls(), 2);
    EXPECT_EQ(fakes.speech->starts, 2);

    const UserFacingFailure denied =
        UserFacingFailure::permissionDenied(ProtectedCapability::microphone);
    fakes.permissions->voice.answer(PermissionResult::denied);
    coordinator.startVoiceCapture();
    ASSERT_TRUE(reaches(CaptureState::failure(denied)));
    EXPECT_EQ(fakes.speech->starts, 2);
    EXPECT_EQ(log.failureCodes().last(),
              u"permissionDenied(Zorbel.ProtectedCapability.microphone)"_s);

    fakes.permissions->voice.answer(PermissionResult::granted);
    fakes.speech->startError = std::make_exception_ptr(std::runtime_error("no input device"));
    coordinator.startVoiceCapture();
    ASSERT_TRUE(reaches(failure(F::recordingUnavailable)));
    EXPECT_EQ(log.lines().last(), failureLine(UserFacingFailure::of(F::recordingUnavailable)));
}

TEST_F(CaptureCoordinatorTest, ATranscriptGoesToTheModelWithItsLabelUnlessItIsBlank) {
    useCloudProvider();
    fakes.speech->transcript.answer(u" \n\t\u3000\r\n"_s);
    coordinator.finishVoiceCapture();
    ASSERT_TRUE(reaches(failure(F::emptyCapture)));
    EXPECT_TRUE(fakes.consent->questions.isEmpty());
    EXPECT_TRUE(fakes.model->sources.isEmpty());
    EXPECT_EQ(log.failureCodes(), QStringList{u"emptyCapture"_s});

    fakes.speech->transcript.answer(u"明天下午三点和王经理开会"_s);
    coordinator.finishVoiceCapture();
    ASSERT_TRUE(reaches(CaptureState::confirmation()));
    EXPECT_EQ(fakes.model->sources, QStringList{u"口述文本"_s});
    EXPECT_EQ(fakes.model->texts, QStringList{u"明天下午三点和王经理开会"_s});
    EXPECT_EQ(fakes.consent->questions,
              (QList<QPair<QString, CaptureKind>>{{kCloudProvider, CaptureKind::voice}}));
}

TEST_F(CaptureCoordinatorTest, ConsentIsAskedOnlyForCloudProvidersAndARefusalSendsNothing) {
    paste(u"local"_s);
    EXPECT_TRUE(fakes.consent->questions.isEmpty());
    EXPECT_EQ(fakes.model->sources.size(), 1);

    useCloudProvider();
    fakes.consent->answer.answer(false);
    paste(u"cloud"_s);
    EXPECT_EQ(coordinator.state(), failure(F::cloudTransmissionDeclined));
    EXPECT_EQ(log.failureCodes(), QStringList{u"cloudTransmissionDeclined"_s});
    EXPECT_EQ(fakes.model->sources.size(), 1);
    ASSERT_EQ(fakes.consent->questions.size(), 1);
    EXPECT_EQ(fakes.consent->questions.first(), qMakePair(kCloudProvider, CaptureKind::paste));

    // While the question is open the state stays as it was.
    fakes.consent->answer.answer(true);
    fakes.consent->answer.hold();
    const auto reported = states.size();
    QCoro::Task<> pasting = coordinator.handleText(u"cloud again"_s);
    EXPECT_EQ(states.size(), reported);
    fakes.consent->answer.release();
    await(std::move(pasting));
    EXPECT_EQ(coordinator.state(), CaptureState::confirmation());
    EXPECT_EQ(fakes.model->sources.size(), 2);

    // A refusal that arrives after a cancel is not reported.
    pasting = coordinator.handleText(u"cancelled"_s);
    coordinator.cancel();
    fakes.consent->answer.answer(false);
    fakes.consent->answer.release();
    await(std::move(pasting));
    EXPECT_EQ(coordinator.state(), CaptureState::idle());
    EXPECT_EQ(log.failureCodes().size(), 1);
}

TEST_F(CaptureCoordinatorTest, ImageFileGoesAsTextOrAsPictureByTheProvider) {
    useCloudProvider();
    drop(u"/tmp/Poster.PNG"_s);
    EXPECT_EQ(coordinator.state(), CaptureState::confirmation());
    EXPECT_EQ(fakes.files->textPaths, QStringList{u"/tmp/Poster.PNG"_s});
    EXPECT_EQ(fakes.model->sources, QStringList{u"图片文字"_s});
    EXPECT_EQ(fakes.consent->questions.last(), qMakePair(kCloudProvider, CaptureKind::file));

    const PreparedImage poster{QByteArray("poster-jpeg"), u"image/jpeg"_s};
    fakes.files->image.answer(poster);
    fakes.model->vision = true;
    drop(u"/tmp/Poster.PNG"_s);
    EXPECT_EQ(coordinator.state(), CaptureState::confirmation());
    EXPECT_EQ(fakes.files->imagePaths, QStringList{u"/tmp/Poster.PNG"_s});
    EXPECT_EQ(fakes.files->textPaths.size(), 1);
    EXPECT_EQ(fakes.model->images, QList<PreparedImage>{poster});
    EXPECT_EQ(fakes.model->sources.last(), u"图片内容"_s);
    EXPECT_EQ(fakes.consent->questions.last(), qMakePair(kCloudProvider, CaptureKind::image));

    // A document stays on the text route even with a vision provider.
    drop(u"/tmp/notes.txt"_s);
    EXPECT_EQ(fakes.model->sources.last(), u"文件内容"_s);
}

// A speech failure and an aborted request fall back as the routes' own tests show.
TEST(UserFacingFailureForError, MapsModelAndNetworkErrorsAndFallsBackOtherwise) {
    const auto e = [](auto error) { return std::make_exception_ptr(error); };
    const std::pair<std::exception_ptr, std::optional<F>> rows[] = {
        {e(LLMError::of(LLMError::Kind::badResponse)), F::invalidModelResponse},
        {e(LLMError::of(LLMError::Kind::badJSON)), F::invalidModelResponse},
        {e(LLMError::httpStatus(401)), F::providerUnavailable},
        {e(LLMError::of(LLMError::Kind::noProvider)), F::providerUnavailable},
        {e(NetworkError(NetworkError::Code::timedOut)), F::network},
        {e(CloudTransmissionDeclinedError()), F::cloudTransmissionDeclined},
        {e(FileExtractionError::of(FileExtractionError::Kind::ocrFailed)), std::nullopt},
    };
    for (const F fallback : {F::emptyCapture, F::invalidModelResponse}) {
        for (const auto& [error, expected] : rows) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& thrown) {
                EXPECT_EQ(
                    CaptureCoordinator::userFacingFailure(thrown, UserFacingFailure::of(fallback)),
                    UserFacingFailure::of(expected.value_or(fallback)))
                    << thrown.what();
            }
        }
    }
}

TEST_F(CaptureCoordinatorTest, FailedStepsBecomeTheFailureOfTheirRoute) {
    using FE = FileExtractionError;
    const auto of = [](F kind) { return UserFacingFailure::of(kind); };
    // What goes wrong, and the file dropped (none: a paste).
    const std::tuple<const char*, std::function<void()>, QString, UserFacingFailure> rows[] = {
        {"no events", [&] { fakes.model->reply.answer({}); }, {}, of(F::invalidModelResponse)},
        {"aborted request during a paste",
         [&] { fakes.model->reply.fail(NetworkError(NetworkError::Code::cancelled)); },
         {},
         of(F::invalidModelResponse)},
        {"unsupported file", [&] { fakes.files->text.fail(FE::unsupportedType(u"xlsx"_s)); },
         u"/tmp/x.xlsx"_s, UserFacingFailure::unsupportedFile(u"xlsx"_s)},
        {"OCR failure", [&] { fakes.files->text.fail(FE::of(FE::Kind::ocrFailed)); },
         u"/tmp/x.pdf"_s, of(F::ocrFailed)},
        {"model cannot read pictures",
         [&] {
             fakes.model->vision = true;
             fakes.model->reply.fail(FE::unsupportedType(u"image"_s));
         },
         u"/tmp/x.jpg"_s, of(F::invalidModelResponse)},
    };
    for (const auto& [what, script, file, expected] : rows) {
        SCOPED_TRACE(what);
        script();
        log.clear();
        if (file.isEmpty()) {
            paste(u"下周一 开会"_s);
        } else {
            drop(file);
        }
        EXPECT_EQ(coordinator.state(), CaptureState::failure(expected));
        EXPECT_EQ(log.lines().filter(u"event=failure"_s), QStringList{failureLine(expected)});
    }
    EXPECT_TRUE(delivered.isEmpty());
}

TEST_F(CaptureCoordinatorTest, ACurrentTaskCancellationReturnsToIdleSilently) {
    fakes.files->text.fail(CancelledError());
    drop(u"/tmp/a.pdf"_s);
    EXPECT_EQ(states, QList<CaptureState>({processing(Stage::extracting), CaptureState::idle()}));
    EXPECT_TRUE(log.failureCodes().isEmpty());
}

TEST_F(CaptureCoordinatorTest, RetryReadsAFailedDropAgainButRepeatsNoPaste) {
    fakes.files->text.fail(FileExtractionError::of(FileExtractionError::Kind::conversionFailed));
    drop(u"/tmp/plan.docx"_s);
    ASSERT_EQ(coordinator.state(), failure(F::fileReadFailed));

    fakes.files->text.answer(u"周三 14:00 复盘"_s);
    states.clear();
    coordinator.retry();
    ASSERT_TRUE(reaches(CaptureState::confirmation()));
    EXPECT_EQ(states.first(), processing(Stage::extracting));
    EXPECT_EQ(fakes.files->textPaths, QStringList({u"/tmp/plan.docx"_s, u"/tmp/plan.docx"_s}));

    // Once the events are handed over there is nothing left to retry.
    coordinator.retry();
    ASSERT_TRUE(fakes.settle());
    EXPECT_EQ(fakes.files->textPaths.size(), 2);

    // Nor after a failed paste, even one that follows a failed drop.
    fakes.files->text.fail(FileExtractionError::of(FileExtractionError::Kind::conversionFailed));
    drop(u"/tmp/plan.docx"_s);
    fakes.model->reply.fail(LLMError::of(LLMError::Kind::badJSON));
    paste(u"后天 开会"_s);
    ASSERT_EQ(coordinator.state(), failure(F::invalidModelResponse));
    const auto reported = states.size();
    coordinator.retry();
    ASSERT_TRUE(fakes.settle());
    EXPECT_EQ(states.size(), reported);
    EXPECT_EQ(fakes.files->textPaths.size(), 3);
    EXPECT_EQ(fakes.model->sources.size(), 2);
}

}  // namespace
