// Cloud consent: the records kept per provider and kind, the asking, the clearing, and the
// message box that asks.

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "capture/CloudTransmissionGate.h"
#include "testkit/EventLoop.h"
#include "testkit/TempXdg.h"
#include "ui/consent/CloudConsentPresenter.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::CaptureKind;
using zorbel::CloudTransmissionGate;
using zorbel::test::await;

namespace {

struct PromptLog {
    QList<std::pair<QString, CaptureKind>> asked;
    bool answer = false;
};

QCoro::Task<bool> recordAndAnswer(PromptLog* log, QString providerID, CaptureKind kind) {
    log->asked.append({providerID, kind});
    co_return log->answer;
}

class Consent : public ::testing::Test {
protected:
    zorbel::test::TempXdg xdg;
    std::shared_ptr<zorbel::Preferences> defaults = zorbel::Preferences::standard();
    PromptLog prompts;
    CloudTransmissionGate gate{defaults, [this](QString providerID, CaptureKind kind) {
                                   return recordAndAnswer(&prompts, providerID, kind);
                               }};
};

/// Answers the next modal message box by pressing the button with `label`, and keeps its texts.
struct AlertAnswerer {
    explicit AlertAnswerer(const QString& label) {
        QTimer::singleShot(0, [this, label] { answer(label); });
    }
    void answer(const QString& label) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, [this, label] { answer(label); });
            return;
        }
        text = box->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == label) button->click();
        }
        if (label.isEmpty()) box->reject();
    }
    QString text;
};

}  // namespace

TEST_F(Consent, IsAskedOncePerProviderKindAndAddressAndOnlyAgreementIsKept) {
    const QString address = u"https://models.example.org:443"_s;
    prompts.answer = true;
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_TRUE(await(gate.authorize(u"deepseek"_s, CaptureKind::file, {})));
        EXPECT_TRUE(await(gate.authorize(u"custom"_s, CaptureKind::paste, address)));
    }
    EXPECT_EQ(prompts.asked.size(), 2);
    EXPECT_EQ(defaults->value(u"cloudConsent.deepseek.file.v1"_s).toBool(), true);

    // Another kind, provider or address asks again, and a refusal is asked again next time.
    prompts.answer = false;
    EXPECT_FALSE(await(gate.authorize(u"deepseek"_s, CaptureKind::paste, {})));
    EXPECT_FALSE(await(gate.authorize(u"kimi"_s, CaptureKind::file, {})));
    EXPECT_FALSE(await(gate.authorize(u"kimi"_s, CaptureKind::file, {})));
    EXPECT_FALSE(await(gate.authorize(u"custom"_s, CaptureKind::paste, u"http://10.0.0.9:80"_s)));
    EXPECT_FALSE(await(gate.authorize(u"custom"_s, CaptureKind::paste, {})));
    EXPECT_EQ(prompts.asked.size(), 7);
    EXPECT_EQ(prompts.asked.at(3), std::make_pair(u"kimi"_s, CaptureKind::file));
    EXPECT_EQ(defaults->allKeys().size(), 2);  // kept across a reload: the extract command's test
}

TEST_F(Consent, ClearingRemovesEveryRecordOfOneProviderAndNoOthers) {
    const QString kept[] = {CloudTransmissionGate::consentKey(u"deepseek"_s, CaptureKind::file),
                            u"cloudConsent.openai.voice.v0"_s, u"llm.preset"_s};
    for (const QString& key : kept) defaults->setValue(key, true);
    defaults->setValue(CloudTransmissionGate::consentKey(u"openai"_s, CaptureKind::image), true);
    defaults->setValue(CloudTransmissionGate::consentKey(u"openai"_s, CaptureKind::file,
                                                         u"https://a.example:443"_s),
                       true);
    CloudTransmissionGate::clearConsent(*defaults, u"openai"_s);
    QStringList left = defaults->allKeys();
    left.sort();
    EXPECT_EQ(left, QStringList(std::begin(kept), std::end(kept)));
}

TEST(ConsentAlert, NamesWhatIsSentAndWhereTo) {
    const std::tuple<QString, CaptureKind, QString> rows[] = {
        {u"deepseek"_s, CaptureKind::file, u"「DeepSeek」"_s},
        {u"x"_s, CaptureKind::image, u"「自动检测（推荐）」"_s},
        // The speech upload is named as what it is, not as a model preset.
        {u"speech"_s, CaptureKind::voice, u"「语音转写服务」"_s},
    };
    for (const auto& [provider, kind, receiver] : rows) {
        const QString text =
            zorbel::CloudConsentPresenter::makeAlert(provider, kind)->informativeText();
        EXPECT_TRUE(
            text.contains(CloudTransmissionGate::consentLabel(kind) + u"发送到"_s + receiver))
            << text.toStdString();
    }
}

TEST(ConsentAlert, YieldsTrueOnlyForContinue) {
    AlertAnswerer proceed(u"继续"_s);
    EXPECT_TRUE(await(zorbel::CloudConsentPresenter::ask(u"kimi"_s, CaptureKind::paste)));
    EXPECT_EQ(proceed.text, u"内容将发送到云端处理"_s);

    AlertAnswerer cancel(u"取消"_s);
    EXPECT_FALSE(await(zorbel::CloudConsentPresenter::ask(u"kimi"_s, CaptureKind::paste)));
    AlertAnswerer closed{QString()};
    EXPECT_FALSE(await(zorbel::CloudConsentPresenter::ask(u"kimi"_s, CaptureKind::paste)));
    EXPECT_FALSE(closed.text.isEmpty());
}
