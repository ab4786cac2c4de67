#include "console/SettingsDialog.h"

#include "config/ConfigRules.h"
#include "config/Settings.h"
#include "events/RecordFile.h"
#include "process/ProcessFlags.h"
#include "support/TempDir.h"

#include "support/ModalAnswers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <QRegularExpression>
#include <QSet>
#include <QAbstractButton>
#include <QTabWidget>
#include <QGroupBox>
#include <gtest/gtest.h>

namespace {

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = ProgramSettings{};
        Settings.Config.CheckInterval = 5;
        Settings.AllLogin.Action = 1;
        Settings.AllLogout.Action = 1;
        Settings.AllLogin.ShowMsgTime = 10;
        Settings.AllLogout.ShowMsgTime = 10;
        Settings.Access.CheckInterval = 10;
        Settings.TCPIP.TimeOut = 1000;
        ShutdownAllowed = true;
        WatchBusy = false;
    }

    static bool xmlMissing() { return false; }
    static bool xmlPresent() { return true; }
};

TEST(ConfigRules, UpDownTakesLowBitsThenClamps)
{
    EXPECT_EQ(UpDownPosition(90, 16, 1, 60), 60);
    EXPECT_EQ(UpDownPosition(0, 16, 1, 60), 1);
    EXPECT_EQ(UpDownPosition(65536 + 1000, 16, 500, 20000), 1000);
    EXPECT_EQ(UpDownPosition(70000, 16, 500, 20000), 4464);
    EXPECT_EQ(UpDownPosition(-1, 16, 0, 10240), 10240);
    EXPECT_EQ(UpDownPosition(256 + 7, 8, 0, 255), 7);
}

TEST(ConfigRules, ActionsAndLevelsAndFolders)
{
    EXPECT_EQ(ValidAllEventAction(2, false), 1);
    EXPECT_EQ(ValidAllEventAction(2, true), 2);
    EXPECT_EQ(ValidAllEventAction(3, false), 3);
    EXPECT_EQ(ValidAllEventAction(0, true), 1);
    EXPECT_EQ(ValidAllEventAction(4, true), 1);

    qint32 report = 2;
    CheckLevelChosen(0, report);
    EXPECT_EQ(report, 0);
    report = 1;
    CheckLevelChosen(2, report);
    EXPECT_EQ(report, 1);
    qint32 check = 0;
    ReportLevelChosen(2, check);
    EXPECT_EQ(check, 2);

    EXPECT_EQ(RecordExtensionWithoutXml(QStringLiteral("xml")), QStringLiteral("log"));
    EXPECT_EQ(RecordExtensionWithoutXml(QStringLiteral("XmL")), QStringLiteral("log"));
    EXPECT_EQ(RecordExtensionWithoutXml(QStringLiteral("xmlx")), QStringLiteral("xmlx"));
    EXPECT_EQ(RecordFolderText(QStringLiteral("/var/log/kr")), QStringLiteral("/var/log/kr/"));
    EXPECT_EQ(RecordFolderText(QStringLiteral("/var/log/kr/")), QStringLiteral("/var/log/kr/"));
    EXPECT_EQ(RecordFolderText(QStringLiteral("/")), QStringLiteral("/"));
}

TEST_F(SettingsDialogTest, ClampsShownAndSaved)
{
    Settings.Config.CheckInterval = 90;
    Settings.TCPIP.TTL = 200;
    Settings.TCPIP.SendBytes = 20000;
    {
        SettingsDialog dialog(nullptr, nullptr, xmlPresent);
        EXPECT_EQ(dialog.udCheckInterval->value(), 60);
        EXPECT_EQ(dialog.udTTL->value(), 200);
        EXPECT_EQ(dialog.udSendBytes->value(), 10240);
        EXPECT_FALSE(dialog.pbApply->isEnabled()) << "filling the controls is no change";
        dialog.pbApplyClick();
    }
    EXPECT_EQ(Settings.Config.CheckInterval, 60);
    EXPECT_EQ(Settings.TCPIP.SendBytes, 10240);

    Settings.Config.CheckInterval = 0;
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_EQ(dialog.udCheckInterval->value(), 1);
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.Config.CheckInterval, 1);
}

TEST_F(SettingsDialogTest, ActionOutOfRangeShownAsNothingAndReset)
{
    Settings.AllLogin.Action = 2;
    Settings.AllLogout.Action = 7;
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_TRUE(dialog.AllLogin.rbNothing->isChecked());
    EXPECT_FALSE(dialog.AllLogin.rbRun->isChecked());
    EXPECT_TRUE(dialog.AllLogout.rbNothing->isChecked());
    // Reset in the record when the dialog opens, before any apply.
    EXPECT_EQ(Settings.AllLogin.Action, 1);
    EXPECT_EQ(Settings.AllLogout.Action, 1);

    dialog.AllLogout.rbShutdown->setChecked(true);
    dialog.AllLogin.rbRun->setChecked(true);
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.AllLogin.Action, 3);
    EXPECT_EQ(Settings.AllLogout.Action, 2);
}

TEST_F(SettingsDialogTest, ShutdownChoiceNeedsTheRight)
{
    Settings.AllLogout.Action = 2;
    ShutdownAllowed = false;
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    // Linux shuts the computer down, not a Windows.
    EXPECT_EQ(dialog.AllLogout.rbShutdown->text(), QStringLiteral("コンピューターを終了"));
    EXPECT_FALSE(dialog.AllLogout.rbShutdown->isEnabled());
    EXPECT_TRUE(dialog.AllLogout.rbShutdown->isChecked());
    EXPECT_EQ(dialog.AllLogin.rbShutdown, nullptr);
    ShutdownAllowed = true;
    SettingsDialog allowed(nullptr, nullptr, xmlPresent);
    EXPECT_TRUE(allowed.AllLogout.rbShutdown->isEnabled());
}

TEST_F(SettingsDialogTest, LevelsPullEachOther)
{
    Settings.Access.CheckLevel = 2;
    Settings.Access.ReportLevel = 2;
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    dialog.cmbCheckLevel->setCurrentIndex(0);
    EXPECT_EQ(dialog.cmbReportLevel->currentIndex(), 0);
    EXPECT_TRUE(dialog.pbApply->isEnabled());
    dialog.cmbReportLevel->setCurrentIndex(1);
    EXPECT_EQ(dialog.cmbCheckLevel->currentIndex(), 1);
    dialog.cmbCheckLevel->setCurrentIndex(2);
    EXPECT_EQ(dialog.cmbReportLevel->currentIndex(), 1) << "a higher check level leaves the report level";
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.Access.CheckLevel, 2);
    EXPECT_EQ(Settings.Access.ReportLevel, 1);
}

TEST_F(SettingsDialogTest, EnablingRulesFollowTheirBoxes)
{
    Settings.Config.MessageLevel = 0;
    Settings.Config.BlinkIcon = 0;
    Settings.AllLogin.PlayWave = false;
    Settings.Access.OpenAccessList = false;
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_FALSE(dialog.cbStartCheckMsg->isEnabled());
    EXPECT_FALSE(dialog.cmbMessageSpeed->isEnabled());
    EXPECT_FALSE(dialog.cbBlinkAlways->isEnabled());
    EXPECT_FALSE(dialog.Login.udShowMsgTime->isEnabled());
    EXPECT_FALSE(dialog.AllLogin.edWaveFile->isEnabled());
    EXPECT_FALSE(dialog.AllLogin.pbWaveTest->isEnabled());
    EXPECT_FALSE(dialog.AllLogout.edActFile->isEnabled());
    EXPECT_FALSE(dialog.cbAccessListAutoClose->isEnabled());
    EXPECT_FALSE(dialog.LoginRecord.edRecordFolder->isEnabled());
    EXPECT_FALSE(dialog.cbMyPCNoChk->isEnabled());
    EXPECT_TRUE(dialog.cbMyPCNoChk->isHidden());

    dialog.cbStartCheck->setChecked(true);
    dialog.cmbMessageLevel->setCurrentIndex(1);
    dialog.cmbBlinkIcon->setCurrentIndex(2);
    dialog.Login.cbShowMsg->setChecked(true);
    dialog.AllLogin.cbPlayWave->setChecked(true);
    dialog.AllLogout.rbRun->setChecked(true);
    dialog.cbOpenAccessList->setChecked(true);
    dialog.LoginRecord.cbDoRecord->setChecked(true);
    EXPECT_TRUE(dialog.cbStartCheckMsg->isEnabled());
    EXPECT_TRUE(dialog.cmbMessageSpeed->isEnabled());
    EXPECT_TRUE(dialog.cbBlinkAlways->isEnabled());
    EXPECT_TRUE(dialog.Login.udShowMsgTime->isEnabled());
    EXPECT_FALSE(dialog.Logout.udShowMsgTime->isEnabled());
    EXPECT_TRUE(dialog.AllLogin.edWaveFile->isEnabled());
    EXPECT_TRUE(dialog.AllLogin.pbWaveTest->isEnabled());
    EXPECT_TRUE(dialog.AllLogout.edActFile->isEnabled());
    EXPECT_FALSE(dialog.AllLogin.edActFile->isEnabled());
    EXPECT_TRUE(dialog.cbAccessListAutoClose->isEnabled());
    EXPECT_TRUE(dialog.LoginRecord.edRecordFolder->isEnabled());
    EXPECT_FALSE(dialog.AccessRecord.edRecordFolder->isEnabled());
}

TEST_F(SettingsDialogTest, ApplyThenCancelKeepsTheAppliedValues)
{
    bool applied = false;
    int reloads = 0;
    {
        ModalAnswers<SettingsDialog> answer([&](SettingsDialog *dialog) {
            dialog->ReloadImages = [&] { ++reloads; };
            EXPECT_TRUE(WatchBusy);
            dialog->edManager->setText(QStringLiteral("BOSS"));
            EXPECT_TRUE(dialog->pbApply->isEnabled());
            dialog->pbApply->click();
            EXPECT_FALSE(dialog->pbApply->isEnabled());
            dialog->udCheckInterval->setValue(30);
            dialog->pbCancel->click();
        });
        applied = SettingsDialog::Execute(nullptr, nullptr, xmlPresent);
    }
    EXPECT_TRUE(applied);
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(WatchBusy);
    EXPECT_EQ(Settings.Config.Manager, QStringLiteral("BOSS"));
    EXPECT_EQ(Settings.Config.CheckInterval, 5) << "the change after the apply was cancelled";

    ModalAnswers<SettingsDialog> cancel([](SettingsDialog *dialog) {
        dialog->edManager->setText(QStringLiteral("OTHER"));
        dialog->reject();
    });
    EXPECT_FALSE(SettingsDialog::Execute(nullptr, nullptr, xmlPresent));
    EXPECT_EQ(Settings.Config.Manager, QStringLiteral("BOSS"));
}

TEST_F(SettingsDialogTest, WithoutXmlEngineRecordsFallBackToLog)
{
    Settings.Login.RecordFileExp = QStringLiteral("xml");
    Settings.Logout.RecordFileExp = QStringLiteral("XML");
    Settings.Access.RecordFileExp = QStringLiteral("txt");
    {
        SettingsDialog dialog(nullptr, nullptr, xmlMissing);
        EXPECT_EQ(dialog.lblMSXML->text(), QStringLiteral("XML not found."));
        EXPECT_TRUE(dialog.lblMSXML->styleSheet().contains(QStringLiteral("red")));
        dialog.pbOKClick();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(dialog.Applied);
    }
    EXPECT_EQ(Settings.Login.RecordFileExp, QStringLiteral("log"));
    EXPECT_EQ(Settings.Logout.RecordFileExp, QStringLiteral("log"));
    EXPECT_EQ(Settings.Access.RecordFileExp, QStringLiteral("txt"));

    Settings.Login.RecordFileExp = QStringLiteral("xml");
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_EQ(dialog.lblMSXML->text(), QStringLiteral("XML Ready."));
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.Login.RecordFileExp, QStringLiteral("xml"));
}

TEST_F(SettingsDialogTest, EveryValueGoesBackWhereItCameFrom)
{
    ProgramSettings &s = Settings;
    s.Config.MessageLevel = 1;
    s.Config.MessageSpeed = 2;
    s.Config.DblClickAction = 6;
    s.Config.XMLEncoding = QStringLiteral("EUC-JP");
    s.Config.XSLFile = QStringLiteral("/srv/kr.xsl");
    s.Login.ShowMsgTime = 12;
    s.Logout.AutoMAC = true;
    s.AllLogout.WaveFile = QStringLiteral("/snd/bye.wav");
    s.AllLogout.ActTime = 5;
    s.Access.CheckInterval = 120;
    s.Access.MyPCNoChk = true;
    s.Access.RecordFolder = QStringLiteral("/var/kr/");
    s.Messenger.SendMessage = QStringLiteral("一行目\r\n二行目");
    s.TCPIP.TimeOut = 3000;
    s.TCPIP.TTL = 64;
    const ProgramSettings before = s;

    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_EQ(dialog.edSendMessage->toPlainText(), QStringLiteral("一行目\n二行目"));
    EXPECT_EQ(dialog.cmbDblClickAction->currentText(), QStringLiteral("エクスプローラで開く"));
    EXPECT_FALSE(dialog.cbMyPCNoChk->isChecked()) << "never filled";
    dialog.pbApplyClick();
    EXPECT_EQ(s.Config.MessageSpeed, 2);
    EXPECT_EQ(s.Config.DblClickAction, 6);
    EXPECT_EQ(s.Config.XMLEncoding, QStringLiteral("EUC-JP"));
    EXPECT_EQ(s.Config.XSLFile, before.Config.XSLFile);
    EXPECT_EQ(s.Login.ShowMsgTime, 12);
    EXPECT_TRUE(s.Logout.AutoMAC);
    EXPECT_EQ(s.AllLogout.WaveFile, before.AllLogout.WaveFile);
    EXPECT_EQ(s.AllLogout.ActTime, 5);
    EXPECT_EQ(s.Access.CheckInterval, 120);
    EXPECT_FALSE(s.Access.MyPCNoChk);
    EXPECT_EQ(s.Access.RecordFolder, before.Access.RecordFolder);
    EXPECT_EQ(s.Messenger.SendMessage, before.Messenger.SendMessage);
    EXPECT_EQ(s.TCPIP.TimeOut, 3000);
    EXPECT_EQ(s.TCPIP.TTL, 64);
}

TEST_F(SettingsDialogTest, EchoRetriesAndParallelCheckOnThePingPage)
{
    Settings.TCPIP.Retry = 9;
    Settings.TCPIP.Parallel = true;
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    QWidget *page = dialog.udRetry->parentWidget();
    QStringList texts;
    for (const QLabel *label : page->findChildren<QLabel *>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("再送回数(&R)")));
    EXPECT_TRUE(texts.contains(QStringLiteral("回")));
    EXPECT_EQ(dialog.cbParallel->text(), QStringLiteral("同時に調査する(&P)"));
    EXPECT_EQ(dialog.cbParallel->parentWidget(), page);
    EXPECT_EQ(dialog.udRetry->value(), 5);
    EXPECT_TRUE(dialog.cbParallel->isChecked());
    dialog.udRetry->setValue(0);
    dialog.cbParallel->setChecked(false);
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.TCPIP.Retry, 0);
    EXPECT_FALSE(Settings.TCPIP.Parallel);
}

// The checks beyond the echo go back as set, and no access key on the page
// clashes with another there or with the dialog's buttons.
TEST_F(SettingsDialogTest, ChecksBeyondTheEchoOnThePingPage)
{
    Settings.TCPIP.AwayPasses = 30;
    Settings.TCPIP.NeighbourCheck = true;
    Settings.TCPIP.TcpPorts = QStringLiteral("445,139");
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_EQ(dialog.udAwayPasses->value(), 10);
    EXPECT_TRUE(dialog.cbNeighbourCheck->isChecked());
    EXPECT_EQ(dialog.edTcpPorts->text(), QStringLiteral("445,139"));
    dialog.udAwayPasses->setValue(3);
    dialog.cbNeighbourCheck->setChecked(false);
    dialog.edTcpPorts->setText(QStringLiteral(" 445, 3389 "));
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.TCPIP.AwayPasses, 3);
    EXPECT_FALSE(Settings.TCPIP.NeighbourCheck);
    EXPECT_EQ(Settings.TCPIP.TcpPorts, QStringLiteral("445, 3389"));

    QWidget *page = dialog.udRetry->parentWidget();
    QStringList texts{dialog.pbApply->text(), dialog.pbOK->text(), dialog.pbCancel->text()};
    for (const QLabel *label : page->findChildren<QLabel *>())
        texts << label->text();
    for (const QAbstractButton *button : page->findChildren<QAbstractButton *>())
        texts << button->text();
    QStringList keys;
    static const QRegularExpression key(QStringLiteral("&(\\w)"));
    for (const QString &text : texts)
        if (const QRegularExpressionMatch m = key.match(text); m.hasMatch())
            keys << m.captured(1).toUpper();
    EXPECT_EQ(keys.size(), QSet<QString>(keys.begin(), keys.end()).size()) << keys.join(u' ').toStdString();
    EXPECT_GE(keys.size(), 8);
}

TEST_F(SettingsDialogTest, AccessIntervalComesBackInsideWhenLeft)
{
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    QSpinBox *box = dialog.udAccessInterval;
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(box, &in);
    auto *edit = box->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    edit->insert(QStringLiteral("1"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
    EXPECT_EQ(box->value(), 3);
    EXPECT_EQ(box->text(), QStringLiteral("3"));
}

TEST_F(SettingsDialogTest, ExampleNamesFollowTheBoxes)
{
    Settings.Login.RecordFile = QStringLiteral("KR%y%m%d");
    Settings.Login.RecordFileExp = QStringLiteral("log");
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(dialog.LoginRecord.lblExample->text(), ExpandRecordName(u"KR%y%m%d.log", today));
    dialog.LoginRecord.edRecordFileExp->setText(QStringLiteral("xml"));
    EXPECT_EQ(dialog.LoginRecord.lblExample->text(), ExpandRecordName(u"KR%y%m%d.xml", today));
    dialog.LoginRecord.edRecordFile->setText(QStringLiteral("A%Y"));
    EXPECT_EQ(dialog.LoginRecord.lblExample->text(), ExpandRecordName(u"A%Y.xml", today));
}

TEST_F(SettingsDialogTest, WaveTestWarnsOfAMissingFile)
{
    TempDir dir;
    Settings.Access.PlayWave = true;
    Settings.Access.WaveFile = dir.path(QStringLiteral("missing.wav"));
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    dialog.show();
    BoxAnswers boxes;
    dialog.pbAccessWaveTest->click();
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_EQ(boxes.Texts[0], QStringLiteral("Waveﾌｧｲﾙが存在しません。"));
    EXPECT_EQ(boxes.Titles[0], AppTitle);
    EXPECT_EQ(boxes.Icons[0], QMessageBox::Warning);

    // An existing file plays without a word (no player here: nothing plays).
    ASSERT_TRUE(dir.write(QStringLiteral("ok.wav"), "RIFF"));
    dialog.edAccessWaveFile->setText(dir.path(QStringLiteral("ok.wav")));
    dialog.pbAccessWaveTest->click();
    EXPECT_EQ(boxes.Texts.size(), 1);
}

TEST_F(SettingsDialogTest, OneDialogAtATime)
{
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_EQ(SettingsDialog::Current(), &dialog);
    EXPECT_FALSE(SettingsDialog::Execute(nullptr, nullptr, xmlPresent));
}

} // namespace

// The access keys of the pages for the checks beyond the echo, the
// notifications and the integration are their own: none clashes with
// another on the page or with the dialog's buttons. (The access page's
// texts, which share A with the apply button, are the program's own and
// stay as they are.)
TEST_F(SettingsDialogTest, NoAccessKeyClashesOnTheNewerPages)
{
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    auto *pages = dialog.findChild<QTabWidget *>(QStringLiteral("pcConfig"));
    ASSERT_NE(pages, nullptr);
    static const QRegularExpression key(QStringLiteral("&(\\w)"));
    for (int i = 0; i < pages->count(); ++i) {
        if (!QStringList{QStringLiteral("Ping"), QStringLiteral("通知"), QStringLiteral("連携")}.contains(pages->tabText(i)))
            continue;
        QStringList keys;
        QStringList texts{dialog.pbApply->text(), dialog.pbOK->text(), dialog.pbCancel->text()};
        for (const QLabel *label : pages->widget(i)->findChildren<QLabel *>())
            texts << label->text();
        for (const QAbstractButton *button : pages->widget(i)->findChildren<QAbstractButton *>())
            texts << button->text();
        for (const QGroupBox *box : pages->widget(i)->findChildren<QGroupBox *>())
            texts << box->title();
        for (const QString &text : texts)
            if (const QRegularExpressionMatch m = key.match(text); m.hasMatch())
                keys << m.captured(1).toUpper();
        EXPECT_EQ(keys.size(), QSet<QString>(keys.begin(), keys.end()).size())
            << pages->tabText(i).toStdString() << ": " << keys.join(u' ').toStdString();
    }
}

// A browser on another desk needs a token: the button makes a fresh random
// one, and the page shows the address to open.
TEST_F(SettingsDialogTest, TheIntegrationPageMakesATokenAndShowsTheAddress)
{
    Settings.Web.Port = 8080;
    Settings.Web.Address = QStringLiteral("192.0.2.10");
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_EQ(dialog.edWebUrl->text(), QStringLiteral("http://127.0.0.1:8080/")) << "no token: this computer only";
    dialog.pbWebToken->click();
    const QString token = dialog.edWebToken->text();
    EXPECT_GE(token.size(), 43);
    EXPECT_EQ(dialog.edWebUrl->text(), QStringLiteral("http://192.0.2.10:8080/"));
    dialog.pbWebToken->click();
    EXPECT_NE(dialog.edWebToken->text(), token);
    dialog.pbApplyClick();
    EXPECT_EQ(Settings.Web.Token, dialog.edWebToken->text());
}

// A token short enough to guess keeps the endpoint from serving at all; the
// page says so while it is typed, not only the journal at the start.
TEST_F(SettingsDialogTest, TheIntegrationPageSaysAShortTokenIsRefused)
{
    Settings.Web.Port = 8080;
    Settings.Web.Address = QStringLiteral("192.0.2.10");
    Settings.Web.Token = QStringLiteral("fifteen-letters");
    SettingsDialog dialog(nullptr, nullptr, xmlPresent);
    EXPECT_TRUE(dialog.lblWebToken->text().contains(u"16")) << dialog.lblWebToken->text().toStdString();
    EXPECT_EQ(dialog.edWebUrl->text().toStdString(), "（使わない）");
    dialog.edWebToken->setText(dialog.edWebToken->text() + u'+');
    EXPECT_TRUE(dialog.lblWebToken->text().isEmpty());
    EXPECT_EQ(dialog.edWebUrl->text().toStdString(), "http://192.0.2.10:8080/");
}
