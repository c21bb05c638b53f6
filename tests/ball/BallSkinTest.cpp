// Skins, their preference and the state colours.

#include <gtest/gtest.h>

#include "support/Preferences.h"
#include "testkit/TempXdg.h"
#include "ui/ball/BallSkinCatalog.h"
#include "ui/ball/BallSkinPreference.h"
#include "ui/ball/BallStateColors.h"

using namespace zorbel;

TEST(BallSkinCatalog, HoldsTheThreeSkinsInMenuOrder) {
    const auto& all = BallSkinCatalog::all();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].id(), u"crystal-memory");
    EXPECT_EQ(all[1].id(), u"gravitational-lens");
    EXPECT_EQ(all[2].id(), u"liquid-lens");
    EXPECT_EQ(all[1].displayName(), u"Gravitational Lens");
    EXPECT_EQ(BallSkinCatalog::liquidLens(), all[2]);
    // The particle counts and processing tints the animation shows per skin.
    EXPECT_EQ(all[0].particleCount, 12);
    EXPECT_EQ(all[1].particleCount, 16);
    EXPECT_EQ(all[2].particleCount, 8);
    EXPECT_DOUBLE_EQ(all[2].processingTintAlpha, 0.18);
    // The one skin whose highlight reaches past the edge, and the one that desaturates.
    EXPECT_DOUBLE_EQ(all[2].highlightRadiusFrac, 1.03);
    EXPECT_DOUBLE_EQ(all[2].tintSaturation, 0.75);
}

TEST(BallSkinCatalog, LooksSkinsUpByTheirExactId) {
    EXPECT_EQ(BallSkinCatalog::skin(u"gravitational-lens"), BallSkinCatalog::gravitationalLens());
    EXPECT_EQ(BallSkinCatalog::skin(u"Liquid-Lens"), BallSkinCatalog::crystalMemory());
    EXPECT_EQ(BallSkinCatalog::skin(u"liquid-lens "), BallSkinCatalog::crystalMemory());
    EXPECT_EQ(BallSkinCatalog::skin(u""), BallSkinCatalog::crystalMemory());
}

TEST(BallSkin, EqualityTakesEveryFieldIntoAccount) {
    BallSkin other = BallSkinCatalog::crystalMemory();
    EXPECT_EQ(other, BallSkinCatalog::crystalMemory());
    other.particleCount = 13;
    EXPECT_NE(other, BallSkinCatalog::crystalMemory());
    const BallSkin& base = BallSkinCatalog::crystalMemory();
    const BallSkin renamed(QStringLiteral("crystal-memory"), QStringLiteral("Crystal"),
                           base.tintAlpha, base.tintSaturation, base.rimWidth, base.rimBrightAlpha,
                           base.rimDarkAlpha, base.highlightAlpha, base.highlightRadiusFrac,
                           base.glintAlpha, base.causticAlpha, base.shadeAlpha,
                           base.processingTintAlpha, base.particleCount);
    EXPECT_NE(renamed, base);
}

TEST(BallSkinPreference, FallsBackToCrystalMemoryWithoutRewritingTheValue) {
    test::TempXdg xdg;
    auto prefs = Preferences::standard();
    EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::crystalMemory());

    prefs->setValue(QStringLiteral("ui.skin"), QStringLiteral("gravitational-lens"));
    EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::gravitationalLens());

    for (const QString& unknown : {QStringLiteral("LIQUID-LENS"), QStringLiteral("liquid-lens "),
                                   QStringLiteral("aurora")}) {
        prefs->setValue(QStringLiteral("ui.skin"), unknown);
        EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::crystalMemory());
        EXPECT_EQ(prefs->string(QStringLiteral("ui.skin")), unknown);
    }
}

TEST(BallSkinPreference, WritesTheIdAndReadsTheSameSkinBack) {
    test::TempXdg xdg;
    BallSkinPreference::setCurrent(BallSkinCatalog::liquidLens());
    EXPECT_EQ(Preferences::standard()->string(QStringLiteral("ui.skin")), u"liquid-lens");
    // Another process (the next launch) reads the file.
    Preferences::standard()->sync();
    Preferences reopened(QStringLiteral("com.zorbel.app"));
    EXPECT_EQ(reopened.string(QStringLiteral("ui.skin")), u"liquid-lens");
    EXPECT_EQ(BallSkinPreference::current(), BallSkinCatalog::liquidLens());
}

TEST(BallStateColors, PayloadsDoNotChangeTheTint) {
    const QColor violet = BallStateColors::tint(CaptureState::confirmation());
    for (auto stage : {ProcessingStage::extracting, ProcessingStage::transcribing,
                       ProcessingStage::understanding, ProcessingStage::preparingConfirmation}) {
        EXPECT_EQ(BallStateColors::tint(CaptureState::processing(stage)), violet);
    }
    using F = UserFacingFailure::Kind;
    const QColor red =
        BallStateColors::tint(CaptureState::failure(UserFacingFailure::of(F::network)));
    for (const UserFacingFailure& failure :
         {UserFacingFailure::permissionDenied(ProtectedCapability::calendar),
          UserFacingFailure::unsupportedFile(QStringLiteral("xlsx")),
          UserFacingFailure::of(F::emptyCapture), UserFacingFailure::of(F::calendarWrite)}) {
        EXPECT_EQ(BallStateColors::tint(CaptureState::failure(failure)), red);
    }
    EXPECT_EQ(BallStateColors::tint(CaptureState::success({})),
              BallStateColors::tint(CaptureState::success({QStringLiteral("家庭"), 4})));
    // Every state keeps its own colour apart from processing and confirmation.
    const QColor distinct[] = {BallStateColors::tint(CaptureState::idle()),
                               BallStateColors::tint(CaptureState::dropTarget()),
                               BallStateColors::tint(CaptureState::recording()),
                               violet,
                               BallStateColors::tint(CaptureState::success({})),
                               red};
    for (size_t i = 0; i < std::size(distinct); ++i) {
        EXPECT_EQ(distinct[i].alphaF(), 1.0f);
        for (size_t j = i + 1; j < std::size(distinct); ++j) EXPECT_NE(distinct[i], distinct[j]);
    }
    EXPECT_NEAR(BallStateColors::tint(CaptureState::dropTarget()).redF(), 0.98, 1e-4);
}
