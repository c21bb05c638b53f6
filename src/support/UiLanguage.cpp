#include "support/UiLanguage.h"

#include <QCoreApplication>
#include <QTranslator>
#include <optional>

#include "support/Preferences.h"

namespace zorbel {

using namespace Qt::Literals::StringLiterals;

namespace {

/// The language of one locale name ("zh_CN.UTF-8", "en", "C"): nothing when it is C, POSIX or
/// empty.
std::optional<UiLanguage> localeLanguage(const QString& name) {
    const QString code = name.section(u'.', 0, 0).section(u'@', 0, 0);
    if (code.isEmpty() || code == u"C"_s || code == u"POSIX"_s) return std::nullopt;
    return code.startsWith(u"zh"_s) ? UiLanguage::chinese : UiLanguage::english;
}

}  // namespace

LocaleEnvironment LocaleEnvironment::current() {
    return {qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"),
            qEnvironmentVariable("LC_MESSAGES"), qEnvironmentVariable("LANG")};
}

UiLanguage chooseUiLanguage(const QString& setting, const LocaleEnvironment& environment) {
    if (setting == u"zh"_s) return UiLanguage::chinese;
    if (setting == u"en"_s) return UiLanguage::english;
    QString locale = environment.lcAll;
    if (locale.isEmpty()) locale = environment.lcMessages;
    if (locale.isEmpty()) locale = environment.lang;
    const std::optional<UiLanguage> messages = localeLanguage(locale);
    if (!messages) return UiLanguage::english;
    for (const QString& entry : environment.language.split(u':', Qt::SkipEmptyParts)) {
        // Only the two languages there are texts for can be picked from the list.
        if (entry.startsWith(u"zh"_s)) return UiLanguage::chinese;
        if (entry.startsWith(u"en"_s)) return UiLanguage::english;
    }
    return *messages;
}

void installUiTranslation() {
    const QString setting = Preferences::standard()->string(uiLanguageKey).value_or(QString());
    if (chooseUiLanguage(setting, LocaleEnvironment::current()) != UiLanguage::english) return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(u":/i18n/zorbel_en.qm"_s)) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace zorbel
