#include <gtest/gtest.h>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "input/PocketSphinxRecognizer.h"
#include "testkit/SpeechTestDoubles.h"

using namespace zorbel;
using test::await;

namespace {

/// Runs a program to its end; false when it is missing or fails.
bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

class SpeechPocketSphinxTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::shared_ptr<PocketSphinxRecognizer> recognizer = std::make_shared<PocketSphinxRecognizer>();

    void SetUp() override {
        ASSERT_TRUE(recognizer->isAvailable()) << "the pocketsphinx-en-us model is missing";
        recognizer->recognizeSamples({}, CancellationToken());  // loads the model once, here
    }
    SpeechServiceOptions options() const {
        return {SpeechServiceOptions::kRecognitionTimeout, dir.path(),
                dir.filePath(QStringLiteral("last-fail.wav"))};
    }
};

}  // namespace

TEST_F(SpeechPocketSphinxTest, RecognizesSpokenEnglish) {
    // The general model hears synthetic speech poorly: this voice and rate reliably give
    // "tomorrow" and "three", and the test asserts only on those.
    const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
    const QString wav = dir.filePath(QStringLiteral("utterance.wav"));
    ASSERT_TRUE(run(QStringLiteral("espeak-ng"),
                    {QStringLiteral("-v"), QStringLiteral("en-us+f2"), QStringLiteral("-s"),
                     QStringLiteral("110"), QStringLiteral("-w"), spoken,
                     QStringLiteral("meeting tomorrow at three pm")}))
        << "espeak-ng is needed (scripts/setup)";
    ASSERT_TRUE(run(QStringLiteral("sox"),
                    {spoken, QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-c"),
                     QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"), wav}))
        << "sox is needed (scripts/setup)";
    // Decoding on this thread: on a busy machine it can take longer than an event-loop wait.
    const QString text =
        recognizer->recognizeSamples(WavFile::readSamples(wav), CancellationToken());
    EXPECT_TRUE(text.contains(u"tomorrow")) << text.toStdString();
    EXPECT_TRUE(text.contains(u"three")) << text.toStdString();
}

TEST_F(SpeechPocketSphinxTest, SilenceIsAnEmptyTranscriptionKeptAsTheLastFailure) {
    auto input = std::make_shared<test::FakeAudioInput>();
    SpeechService speech(recognizer, input, nullptr, options());
    const QByteArray silence(2 * WavFile::kSampleRate, '\0');  // one second
    for (int round = 0; round < 2; ++round) {
        speech.start();
        input->feed(silence.left(silence.size() - round * 2));
        try {
            await(speech.stopAndTranscribe(CancellationToken()));
            ADD_FAILURE() << "silence gave a transcript";
        } catch (const SpeechService::ServiceError& error) {
            EXPECT_EQ(error.kind(), SpeechService::ServiceError::emptyTranscription);
        }
        EXPECT_EQ(WavFile::readSamples(options().lastFailurePath).size(),
                  silence.size() - round * 2);
    }
}

TEST(PocketSphinxRecognizer, AFileThatIsNotSixteenKilohertzMonoIsRefused) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("stereo.wav"));
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray header = WavFile::header(4);
    header[22] = 2;  // two channels
    file.write(header + QByteArray(4, '\0'));
    file.close();
    EXPECT_THROW(await(PocketSphinxRecognizer().recognize(wav, CancellationToken())), WavFileError);
}
