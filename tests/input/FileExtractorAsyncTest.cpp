// SystemFileExtractor: the work runs on the thread pool, errors pass through, cancellation
// stops it at the checkpoints and kills a running converter.

#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include "input/SystemFileExtractor.h"
#include "support/Errors.h"
#include "testkit/EventLoop.h"
#include "testkit/FileFixtures.h"
#include "testkit/LogCapture.h"

namespace FF = zorbel::test::FileFixtures;
using zorbel::test::await;
using zorbel::test::spinUntil;

namespace {

struct Outcome {
    bool finished = false;
    QString text;
    std::exception_ptr error;
};

QCoro::Task<void> extractInto(zorbel::SystemFileExtractor& extractor, QString path,
                              zorbel::CancellationToken token, Outcome& outcome) {
    try {
        outcome.text = co_await extractor.extractText(std::move(path), std::move(token));
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.finished = true;
}

}  // namespace

TEST(SystemFileExtractor, TextAndPicturesArriveAndErrorsPassThrough) {
    QTemporaryDir dir;
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    FF::writeFile(notes, "周三 9:30 站会");
    zorbel::SystemFileExtractor extractor;
    EXPECT_EQ(await(extractor.extractText(notes, {})), u"周三 9:30 站会");

    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    const QString jpg = dir.filePath(QStringLiteral("photo.jpg"));
    FF::writeFile(jpg, FF::jpeg(photo));
    const zorbel::PreparedImage prepared = await(extractor.extractImage(jpg, {}));
    EXPECT_EQ(prepared.mimeType, u"image/jpeg");
    EXPECT_EQ(QImage::fromData(prepared.data).size(), QSize(1568, 1176));

    try {
        await(extractor.extractText(dir.filePath(QStringLiteral("budget.xlsx")), {}));
        ADD_FAILURE() << "no error";
    } catch (const zorbel::FileExtractionError& error) {
        EXPECT_EQ(error.kind(), zorbel::FileExtractionError::Kind::unsupportedType);
        EXPECT_EQ(error.extension(), u"xlsx");
    }
    zorbel::CancellationToken cancelled;
    cancelled.cancel();
    EXPECT_THROW(await(extractor.extractImage(jpg, cancelled)), zorbel::CancelledError);
}

TEST(SystemFileExtractor, ACancelledConverterIsKilled) {
    QTemporaryDir dir;
    const QString doc = dir.filePath(QStringLiteral("minutes.doc"));
    FF::writeFile(doc, "text");
    const QString started = dir.filePath(QStringLiteral("started"));
    const QString release = dir.filePath(QStringLiteral("release"));
    const QString done = dir.filePath(QStringLiteral("done"));
    // The converter announces itself, waits for the test to let it go, then prints its text.
    const zorbel::FileTextExtractor::WordConverter converter{
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"),
         QStringLiteral("touch \"$1\"; while [ ! -e \"$2\" ]; do sleep 0.01; done; "
                        "echo converted; touch \"$3\""),
         QStringLiteral("sh"), started, release, done}};
    zorbel::SystemFileExtractor extractor(converter);
    zorbel::test::LogCapture log;

    zorbel::CancellationToken token;
    Outcome outcome;
    auto task = extractInto(extractor, doc, token, outcome);
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(started); }));
    token.cancel();
    ASSERT_TRUE(spinUntil([&] { return outcome.finished; }));
    FF::writeFile(release, {});
    EXPECT_FALSE(QFile::exists(done));  // killed: it never got to its end
    EXPECT_TRUE(outcome.text.isEmpty());
    EXPECT_THROW(std::rethrow_exception(outcome.error), zorbel::CancelledError);
    EXPECT_TRUE(log.failureCodes().isEmpty());
}
