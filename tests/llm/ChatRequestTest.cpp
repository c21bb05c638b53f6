// The wire format on its own: the prompt byte for byte, the persona section, the messages, the
// reading of a reply, the endpoint rule and the vision test.

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <ctime>

#include "llm/ChatRequest.h"
#include "llm/LLMClient.h"
#include "llm/UserProfile.h"
#include "testkit/TempXdg.h"

using namespace Qt::Literals::StringLiterals;
using zorbel::Preferences;
namespace ChatRequest = zorbel::ChatRequest;
namespace UserProfile = zorbel::UserProfile;

namespace {

// The zone is fixed before main so the prompt's time-zone line is known.
const bool kZoneSet = [] {
    qputenv("TZ", "Asia/Shanghai");
    tzset();
    return true;
}();

QString expectedPrompt() {
    return QString::fromUtf8(zorbel::test::readFile(
        QStringLiteral(ZORBEL_LLM_DATA_DIR "/system_prompt_Asia_Shanghai.txt")));
}

const QDateTime kNow = QDateTime(QDate(2026, 12, 5), QTime(0, 15, 47, 123), Qt::UTC);

}  // namespace

TEST(SystemPrompt, MatchesTheFixedTextByteForByteAndAddsTheTrimmedPersona) {
    ASSERT_TRUE(kZoneSet);
    zorbel::test::TempXdg xdg;
    Preferences& defaults = *Preferences::standard();
    EXPECT_EQ(ChatRequest::makeSystemPrompt(defaults).toUtf8(), expectedPrompt().toUtf8());

    UserProfile::setPersona(defaults, u" \n\t \n"_s);
    EXPECT_TRUE(defaults.contains(u"user.persona"_s));
    EXPECT_FALSE(UserProfile::personaPromptSection(defaults));
    EXPECT_EQ(ChatRequest::makeSystemPrompt(defaults), expectedPrompt());

    UserProfile::setPersona(defaults, u"\n  产品经理，常在 A 座开会  \n"_s);
    EXPECT_EQ(
        ChatRequest::makeSystemPrompt(defaults),
        expectedPrompt() +
            u"\n\n使用者背景：产品经理，常在 A 座开会\n请在提取日程时结合使用者背景判断（如职业习惯、常见地点、常用提醒偏好）。"_s);
}

TEST(SystemPrompt, PersonaKeepsFiveHundredUserPerceivedCharacters) {
    zorbel::test::TempXdg xdg;
    Preferences& defaults = *Preferences::standard();
    // An accented letter is two code points, a family emoji seven: each counts as one.
    const QString accented = u"e\u0301"_s;
    const QString family = u"👨‍👩‍👧‍👦"_s;
    QString persona;
    for (int i = 0; i < 299; ++i) persona += u'字';
    persona += family;
    for (int i = 0; i < 300; ++i) persona += accented;
    UserProfile::setPersona(defaults, persona);
    const QString section = *UserProfile::personaPromptSection(defaults);
    const QString kept = section.section(u'\n', 0, 0).mid(QString(u"使用者背景："_s).size());
    QString expected = persona.left(299) + family;
    for (int i = 0; i < 200; ++i) expected += accented;
    EXPECT_EQ(kept, expected);
}

TEST(UserMessages, CarryTheTimeInUtcAndAPictureAsADataUrl) {
    EXPECT_EQ(ChatRequest::currentTimeText(kNow), u"2026-12-05T00:15:47Z"_s);
    EXPECT_EQ(ChatRequest::currentTimeText(kNow.toOffsetFromUtc(8 * 3600)),
              u"2026-12-05T00:15:47Z"_s);

    const zorbel::PreparedImage image{QByteArray(100, '\xff'), u"image/jpeg"_s};
    const QJsonObject picture = ChatRequest::imageUserMessage(image, u"图片内容"_s, kNow);
    const QJsonArray parts = picture.value(u"content"_s).toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(picture.value(u"role"_s), u"user"_s);
    EXPECT_EQ(parts[0].toObject(),
              (QJsonObject{
                  {u"type"_s, u"text"_s},
                  {u"text"_s,
                   u"现在时间：2026-12-05T00:15:47Z\n\n图片内容：请从图片中识别日程相关信息"_s}}));
    EXPECT_EQ(parts[1].toObject().value(u"image_url"_s).toObject().value(u"url"_s),
              u"data:image/jpeg;base64,"_s + QString::fromLatin1(image.data.toBase64()));
}

TEST(ReplyContent, ReadsOnlyTheFirstChoicesMessageContent) {
    EXPECT_EQ(ChatRequest::replyContent(
                  R"({"choices":[{"message":{"content":"a"}},{"message":{"content":"b"}}]})"),
              u"a"_s);
    for (const QByteArray& body :
         {QByteArray("{not json"), QByteArray(R"({"choices":[]})"), QByteArray("[]"),
          QByteArray(R"({"choices":{}})"), QByteArray(R"({"choices":[1]})"),
          QByteArray(R"({"choices":[{"message":"x"}]})"),
          QByteArray(R"({"choices":[{"message":{"content":null}}]})"),
          QByteArray(R"({"choices":[{"text":"x"}]})")}) {
        EXPECT_FALSE(ChatRequest::replyContent(body)) << body.constData();
    }
}

TEST(Endpoint, RemovesOneTrailingSlashAndRefusesWhatIsNoHttpUrl) {
    EXPECT_EQ(ChatRequest::endpoint(u"http://h:1/v1/"_s, u"/chat/completions"_s)->path(),
              u"/v1/chat/completions"_s);
    EXPECT_EQ(ChatRequest::endpoint(u"http://h:1/v1//"_s, u"/models"_s)->path(), u"/v1//models"_s);
    EXPECT_EQ(ChatRequest::endpoint(u"https://api.example.com/compatible-mode/v1"_s, u"/models"_s)
                  ->toString(),
              u"https://api.example.com/compatible-mode/v1/models"_s);
    for (const QString& bad : {u"localhost:8080/v1"_s, u"not a url"_s, u"/v1"_s, u"ftp://h/v1"_s}) {
        EXPECT_FALSE(ChatRequest::endpoint(bad, u"/models"_s)) << bad.toStdString();
    }
}

TEST(VisionModels, AreRecognisedByNameWhateverTheCase) {
    for (const QString& model : {u"LLaVA-13B"_s, u"qwen2.5vl:3b"_s, u"gpt-4o-mini"_s,
                                 u"gemma3:4b"_s, u"MiniCPM-V"_s, u"pixtral-12b"_s}) {
        EXPECT_TRUE(zorbel::LLMClient::isVisionModel(model)) << model.toStdString();
    }
    for (const QString& model : {u"qwen-plus"_s, u"deepseek-chat"_s, u""_s}) {
        EXPECT_FALSE(zorbel::LLMClient::isVisionModel(model)) << model.toStdString();
    }
}
