// The console's language: the operator's choice, else the locale.

#include "console/Language.h"

#include "config/Settings.h"
#include "console/ListEditor.h"
#include "console/SettingsDialog.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/RecordFile.h"
#include "platform/FixtureNetBrowser.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

#include <QCoreApplication>
#include <QMap>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString languageFor(const QString &configured, const QMap<QByteArray, QByteArray> &environment)
{
    return ConsoleLanguage(configured, [&](const char *name) { return environment.value(name); });
}

struct BackToJapanese {
    ~BackToJapanese() { UseConsoleLanguage(u"ja"_s); }
};

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
    Settings = ProgramSettings{};
    Settings.Config.Language = u"fr"_s;
    {
        SettingsDialog dialog(nullptr, nullptr, [] { return true; });
        EXPECT_EQ(dialog.cmbLanguage->currentText(), u"自動"_s);
        dialog.pbApplyClick();
        EXPECT_EQ(Settings.Config.Language, u"fr"_s);
        dialog.cmbLanguage->setCurrentText(u"English"_s);
        dialog.pbApplyClick();
        EXPECT_EQ(Settings.Config.Language, u"en"_s);
    }
    SettingsDialog dialog(nullptr, nullptr, [] { return true; });
    EXPECT_EQ(dialog.cmbLanguage->currentText(), u"English"_s);
    dialog.cmbLanguage->setCurrentText(u"自動"_s);
    dialog.pbApplyClick();
    EXPECT_TRUE(Settings.Config.Language.isEmpty());
}

TEST(Language, TheSettingsAndTheEditorReadInEnglishUnderItsTranslation)
{
    Settings = ProgramSettings{};
    const auto shownTexts = [] {
        QStringList shown;
        SettingsDialog config(nullptr, nullptr, [] { return true; });
        for (int page = 0; page < config.pcConfig->count(); ++page)
            shown << config.pcConfig->tabText(page);
        WatchListModel mainList;
        FixtureNetBrowser net{QString()};
        ListEditor editor(mainList, net, nullptr);
        for (const QPushButton *button : {editor.pbSeparator, editor.pbUser, editor.pbCancel})
            shown << button->text();
        // The narrow buttons between the lists leave room around their text.
        EXPECT_GE(editor.pbSeparator->minimumWidth(),
                  editor.pbSeparator->fontMetrics().horizontalAdvance(editor.pbSeparator->text()) + 12);
        shown << editor.List->headerData(0, Qt::Horizontal).toString();
        return shown;
    };
    ASSERT_TRUE(UseConsoleLanguage(u"en"_s));
    const QStringList english = shownTexts();
    UseConsoleLanguage(u"ja"_s);
    EXPECT_EQ(english, (QStringList{u"General"_s, u"Each Terminal"_s, u"All Terminals"_s, u"Access"_s, u"Ping"_s,
                                    u"Records"_s, u"XML"_s, u"Notifications"_s, u"Integration"_s, u"Separator"_s, u"&User Name..."_s, u"&Cancel"_s,
                                    u"User Name"_s}));
    EXPECT_EQ(shownTexts(), (QStringList{u"基本"_s, u"個別設定"_s, u"全体設定"_s, u"アクセス"_s, u"Ping"_s, u"ログ"_s,
                                         u"XML設定"_s, u"通知"_s, u"連携"_s, u"ｾﾊﾟﾚｰﾀ"_s, u"ﾕｰｻﾞｰ名(&U)..."_s, u"&Cancel"_s,
                                         u"ﾕｰｻﾞｰ名"_s}));
}

TEST(Language, RecordsAreWrittenTheSameUnderEitherLanguage)
{
    const auto written = [](const QString &extension) {
        TempDir dir;
        ProgramSettings s;
        s.ProgramDir = dir.path();
        s.Login.RecordFile = u"KR%y%m%d"_s;
        s.Login.RecordFileExp = extension;
        s.Config.XMLEncoding = u"UTF-8"_s;
        const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 0));
        EXPECT_TRUE(WriteRecord(RecordKind::Login, {u"田中\tPC-TANAKA"_s}, s, when, {}));
        return dir.read(u"KR20261206."_s + extension);
    };
    const QByteArray text = written(u"log"_s), xml = written(u"xml"_s);
    ASSERT_TRUE(text.contains("[Login]"));
    ASSERT_TRUE(UseConsoleLanguage(u"en"_s));
    BackToJapanese restore;
    EXPECT_EQ(written(u"log"_s), text);
    EXPECT_EQ(written(u"xml"_s), xml);
}

TEST(Language, TheListShowsStatesInEnglishButKeepsAndSavesTheStoredTexts)
{
    WatchListModel list;
    const QStringList stored{StatusLoggedIn, StatusLoggedOut, StatusUnconfirmed, StatusResting, StatusWatchError};
    for (const QString &status : stored) {
        WatchListModel::Row row;
        row.texts[WatchListModel::ColUserName] = u"田中"_s;
        row.texts[WatchListModel::ColStatus] = status;
        list.appendRow(row);
    }
    const auto shownAndSaved = [&] {
        QStringList shown;
        for (int r = 0; r < list.rowCount(); ++r)
            shown << list.index(r, WatchListModel::ColStatus).data().toString();
        TempDir dir;
        EXPECT_TRUE(SaveList(list, dir.path(u"watch.lst"_s)));
        return std::make_pair(shown, dir.read(u"watch.lst"_s));
    };
    const auto japanese = shownAndSaved();
    EXPECT_EQ(japanese.first, stored);
    ASSERT_TRUE(UseConsoleLanguage(u"en"_s));
    BackToJapanese restore;
    const auto english = shownAndSaved();
    EXPECT_EQ(english.first, (QStringList{u"Logged in"_s, u"Logged out"_s, u"Unconfirmed"_s, u"Resting"_s,
                                          u"Watch error"_s}));
    EXPECT_EQ(english.second, japanese.second);
    EXPECT_EQ(list.text(0, WatchListModel::ColStatus), StatusLoggedIn);
    EXPECT_EQ(list.index(0, WatchListModel::ColStatus).data(Qt::EditRole).toString(), StatusLoggedIn);

    // The probe's own texts in the Result column likewise; an echo's answer is shown as it is.
    list.setText(0, WatchListModel::ColResult, u"IPアドレスを取得できませんでした。"_s);
    list.setText(1, WatchListModel::ColResult, u"1ms / TTL:64 / 32 Bytes"_s);
    EXPECT_EQ(list.index(0, WatchListModel::ColResult).data().toString(), u"Could not find the IP address."_s);
    EXPECT_EQ(list.index(1, WatchListModel::ColResult).data().toString(), u"1ms / TTL:64 / 32 Bytes"_s);
    EXPECT_EQ(list.text(0, WatchListModel::ColResult), u"IPアドレスを取得できませんでした。"_s);
}
