// The console's language: the operator's choice, else the locale.

#include "console/Language.h"

#include "config/Settings.h"
#include "console/TfmConfig.h"

#include <QComboBox>

#include <QCoreApplication>
#include <QMap>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString languageFor(const QString &configured, const QMap<QByteArray, QByteArray> &environment)
{
    return ConsoleLanguage(configured, [&](const char *name) { return environment.value(name); });
}

} // namespace

TEST(Language, TheChoiceWinsElseTheLocaleAsGettextReadsIt)
{
    EXPECT_EQ(languageFor(u"en"_s, {{"LANG", "ja_JP.UTF-8"}}), u"en"_s);
    EXPECT_EQ(languageFor(u" JA "_s, {{"LANG", "en_US.UTF-8"}}), u"ja"_s);
    EXPECT_EQ(languageFor(u"fr"_s, {{"LANG", "ja_JP.UTF-8"}}), u"ja"_s) << "an unknown choice is no choice";

    EXPECT_EQ(languageFor({}, {}), u"en"_s);
    EXPECT_EQ(languageFor({}, {{"LANG", "ja_JP.eucJP"}}), u"ja"_s);
    EXPECT_EQ(languageFor({}, {{"LANG", "de_DE.UTF-8"}}), u"en"_s);
    EXPECT_EQ(languageFor({}, {{"LC_ALL", "en_GB.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}), u"en"_s);
    EXPECT_EQ(languageFor({}, {{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}), u"ja"_s);
    EXPECT_EQ(languageFor({}, {{"LANGUAGE", "fr:ja:en"}, {"LANG", "en_US.UTF-8"}}), u"ja"_s);
    EXPECT_EQ(languageFor({}, {{"LANGUAGE", "ja"}, {"LANG", "C"}}), u"en"_s) << "the C locale ignores LANGUAGE";
}

TEST(Language, EnglishIsCompiledIntoTheProgram)
{
    EXPECT_TRUE(UseConsoleLanguage(u"en"_s));
    EXPECT_TRUE(UseConsoleLanguage(u"ja"_s));
    EXPECT_FALSE(UseConsoleLanguage(u"xx"_s));
}

TEST(Language, TheSettingsDialogOffersItAndKeepsAValueItDoesNotKnow)
{
    Settings = TSettings{};
    Settings.Config.Language = u"fr"_s;
    {
        TfmConfig dialog(nullptr, nullptr, [] { return true; });
        EXPECT_EQ(dialog.cmbLanguage->currentText(), u"自動"_s);
        dialog.pbApplyClick();
        EXPECT_EQ(Settings.Config.Language, u"fr"_s);
        dialog.cmbLanguage->setCurrentText(u"English"_s);
        dialog.pbApplyClick();
        EXPECT_EQ(Settings.Config.Language, u"en"_s);
    }
    TfmConfig dialog(nullptr, nullptr, [] { return true; });
    EXPECT_EQ(dialog.cmbLanguage->currentText(), u"English"_s);
    dialog.cmbLanguage->setCurrentText(u"自動"_s);
    dialog.pbApplyClick();
    EXPECT_TRUE(Settings.Config.Language.isEmpty());
}
