#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTranslator>

#include "capture/CloudTransmissionGate.h"
#include "capture/ProcessingStatusPresentation.h"
#include "support/UiLanguage.h"
#include "testkit/TempXdg.h"
#include "ui/confirm/ConfirmPanelPresentation.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::UiLanguage;

TEST(UiLanguage, TheSettingThenTheLocaleVariablesInGettextsOrderChooseTheLanguage) {
    constexpr UiLanguage zh = UiLanguage::chinese;
    constexpr UiLanguage en = UiLanguage::english;
    const struct {
        QString setting;
        zorbel::LocaleEnvironment environment;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        UiLanguage expected;
    } cases[] = {
        {{}, {}, en},
        {{}, {{}, {}, {}, u"de_DE.UTF-8"_s}, en},
        {{}, {{}, {}, {}, u"zh_CN.UTF-8"_s}, zh},
        {{}, {{}, {}, {}, u"zh_TW"_s}, zh},
        {{}, {{}, {}, {}, u"zh"_s}, zh},
        // LC_MESSAGES before LANG, LC_ALL before both.
        {{}, {{}, {}, u"zh_CN.UTF-8"_s, u"en_US.UTF-8"_s}, zh},
        {{}, {{}, {}, u"C"_s, u"zh_CN.UTF-8"_s}, en},
        {{}, {{}, u"en_US.UTF-8"_s, u"zh_CN.UTF-8"_s, u"zh_CN.UTF-8"_s}, en},
        {{}, {{}, u"zh_CN.UTF-8"_s, {}, u"C.UTF-8"_s}, zh},
        // LANGUAGE's first Chinese or English entry, before the locale.
        {{}, {u"zh_CN:en"_s, {}, {}, u"en_US.UTF-8"_s}, zh},
        {{}, {u"en_GB:zh_CN"_s, {}, {}, u"zh_CN.UTF-8"_s}, en},
        {{}, {u"de:fr:zh"_s, {}, {}, u"de_DE.UTF-8"_s}, zh},
        {{}, {u"de:fr"_s, {}, {}, u"zh_CN.UTF-8"_s}, zh},
        // ...but not in the C locale, nor with no locale set.
        {{}, {u"zh_CN"_s, {}, {}, u"C.UTF-8"_s}, en},
        {{}, {u"zh_CN"_s, {}, {}, u"POSIX"_s}, en},
        {{}, {u"zh_CN"_s, {}, {}, {}}, en},
        // The setting overrides everything; "system" and anything unknown follow it.
        {u"zh"_s, {u"en"_s, u"en_US.UTF-8"_s, {}, {}}, zh},
        {u"en"_s, {u"zh_CN"_s, u"zh_CN.UTF-8"_s, {}, {}}, en},
        {u"system"_s, {{}, {}, {}, u"zh_CN.UTF-8"_s}, zh},
        {u"fr"_s, {{}, {}, {}, u"zh_CN.UTF-8"_s}, zh},
    };
    for (const auto& [setting, environment, expected] : cases) {
        EXPECT_EQ(zorbel::chooseUiLanguage(setting, environment), expected)
            << "setting " << setting.toStdString() << ", LANGUAGE "
            << environment.language.toStdString() << ", LC_ALL " << environment.lcAll.toStdString()
            << ", LC_MESSAGES " << environment.lcMessages.toStdString() << ", LANG "
            << environment.lang.toStdString();
    }
}

// The English translation as the program installs it: the texts of the status panel, the
// confirm panel and the consent question the terminal asks too come out in English, counts
// singular or plural; Chinese installs nothing.
TEST(UiLanguage, TheInstalledEnglishTranslationTranslatesTheProgramsTexts) {
    const zorbel::test::TempXdg xdg;
    const auto status = &zorbel::ProcessingStatusPresentation::make;
    const auto added = [&](qint64 count) {
        return status(zorbel::CaptureState::success({u"Work"_s, count, false, 0})).detail;
    };
    const zorbel::CaptureState network = zorbel::CaptureState::failure(
        zorbel::UserFacingFailure::of(zorbel::UserFacingFailure::Kind::network));

    zorbel::Preferences::standard()->setValue(zorbel::uiLanguageKey, u"zh"_s);
    zorbel::installUiTranslation();
    EXPECT_EQ(status(network).title, u"网络连接失败"_s);

    zorbel::Preferences::standard()->setValue(zorbel::uiLanguageKey, u"en"_s);
    zorbel::installUiTranslation();
    EXPECT_EQ(status(network).title, u"Network error"_s);
    EXPECT_EQ(added(1), u"1 event"_s);
    EXPECT_EQ(added(3), u"3 events"_s);
    EXPECT_EQ(zorbel::ConfirmPanelPresentation::make(3).title, u"Confirm 3 Events"_s);
    EXPECT_EQ(zorbel::CloudTransmissionGate::consentMessage(),
              u"Content will be sent to the cloud"_s);

    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    EXPECT_EQ(status(network).title, u"网络连接失败"_s);
}
