#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include "core/CaptureServices.h"
#include "core/LLMError.h"
#include "testkit/EventLoop.h"

using namespace zorbel;
using zorbel::test::await;

TEST(CaptureKind, RawValuesAreExactAndCaseSensitive) {
    for (const CaptureKind kind :
         {CaptureKind::voice, CaptureKind::file, CaptureKind::paste, CaptureKind::image}) {
        EXPECT_EQ(captureKindFromRawValue(rawValue(kind)), kind);
    }
    EXPECT_EQ(rawValue(CaptureKind::paste), QStringLiteral("paste"));
    EXPECT_FALSE(captureKindFromRawValue(QStringLiteral("Voice")).has_value());
    EXPECT_FALSE(captureKindFromRawValue(QString()).has_value());
    EXPECT_FALSE(captureKindFromRawValue(QStringLiteral("voice ")).has_value());
}

TEST(FileExtractionError, MapsToTheUserFacingFailure) {
    using K = FileExtractionError::Kind;
    EXPECT_EQ(FileExtractionError::unsupportedType(QStringLiteral("pages")).userFacingFailure(),
              UserFacingFailure::unsupportedFile(QStringLiteral("pages")));
    EXPECT_EQ(FileExtractionError::of(K::emptyContent).userFacingFailure(),
              UserFacingFailure::of(UserFacingFailure::Kind::emptyCapture));
    EXPECT_EQ(FileExtractionError::of(K::ocrFailed).userFacingFailure(),
              UserFacingFailure::of(UserFacingFailure::Kind::ocrFailed));
    EXPECT_EQ(FileExtractionError::of(K::conversionFailed).userFacingFailure(),
              UserFacingFailure::of(UserFacingFailure::Kind::fileReadFailed));
}

namespace {

// The smallest services: they implement only what every service must.
class TextOnlyFiles : public FileExtracting {
public:
    QCoro::Task<QString> extractText(QString, CancellationToken) override { co_return QString(); }
};

class TextOnlyModel : public EventExtracting {
public:
    using EventExtracting::extractEvents;
    ProviderRoute providerRoute() const override { return {QStringLiteral("ollama"), true}; }
    QCoro::Task<QList<ExtractedEvent>> extractEvents(QString, QString, CancellationToken) override {
        co_return QList<ExtractedEvent>{};
    }
};

}  // namespace

TEST(CaptureServices, DefaultImageOperationsRefuseWithUnsupportedType) {
    TextOnlyFiles files;
    try {
        await(files.extractImage(QStringLiteral("/tmp/Scan.HEIC"), CancellationToken()));
        ADD_FAILURE() << "extractImage should have thrown";
    } catch (const FileExtractionError& error) {
        EXPECT_EQ(error, FileExtractionError::unsupportedType(QStringLiteral("heic")));
    }
    TextOnlyModel model;
    EXPECT_FALSE(model.supportsVisionInput());
    try {
        await(model.extractEvents(PreparedImage{QByteArray("x"), QStringLiteral("image/jpeg")},
                                  QStringLiteral("图片内容"), CancellationToken()));
        ADD_FAILURE() << "extractEvents(image) should have thrown";
    } catch (const FileExtractionError& error) {
        EXPECT_EQ(error, FileExtractionError::unsupportedType(QStringLiteral("image")));
    }
}
