// The settings dialog's pages: the controls of each page built and laid
// out, with their object names and the browse and test buttons wired.

#include "console/SettingsDialog.h"

#include "console/FileChooser.h"
#include "engine/WebEndpoint.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <array>

using namespace Qt::StringLiterals;

namespace {

QSpinBox *upDown(QWidget *parent, const char *name, int minimum, int maximum)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(minimum, maximum);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QComboBox *listBox(QWidget *parent, const char *name, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    return box;
}

} // namespace

QWidget *SettingsDialog::BuildBasicPage()
{
    auto *page = new QWidget;
    udCheckInterval = upDown(page, "udCheckInterval", 1, 60);
    auto *lblCheckInterval = new QLabel(tr("監視間隔(&T)"), page);
    lblCheckInterval->setBuddy(udCheckInterval);
    cmbMessageLevel = listBox(page, "cmbMessageLevel",
                              {tr("標準"), tr("メッセージバー"), tr("アイコン点滅")});
    auto *lblMessageLevel = new QLabel(tr("メッセージ表示レベル(&E)"), page);
    lblMessageLevel->setBuddy(cmbMessageLevel);
    cmbMessageSpeed =
        listBox(page, "cmbMessageSpeed", {tr("低速"), tr("中速"), tr("高速")});
    lblMessageSpeed = new QLabel(tr("メッセージ速度(&D)"), page);
    lblMessageSpeed->setBuddy(cmbMessageSpeed);
    cbWaitWave = checkBox(page, "cbWaitWave", tr("Waveの再生が終わるまで次を再生しない(&W)"));
    cbSafeCheck = checkBox(page, "cbSafeCheck", tr("厳しいﾁｪｯｸをする(&G)"));
    cbStartCheck = checkBox(page, "cbStartCheck", tr("起動時に調査(&S)"));
    cbStartCheckMsg = checkBox(page, "cbStartCheckMsg", tr("調査する前に聞く(&P)"));
    edManager = new QLineEdit(page);
    edManager->setObjectName(QStringLiteral("edManager"));
    auto *lblManager = new QLabel(tr("管理者端末(&M)"), page);
    lblManager->setBuddy(edManager);
    // Besides computer names, e-mail addresses and webhooks.
    edManager->setPlaceholderText(tr("PC01, mailto:kanri@example.jp, https://…"));
    edManager->setToolTip(tr("カンマで区切って並べます。コンピューター名にはSMBメッセージ、mailto:アドレスには電子メール"
                             "（[通知]ページのサーバーから）、http:// または https:// のURLにはJSONのWebhook、"
                             "text+https://… にはテキストだけのWebhook（ntfyなど）で報告します。"));
    cbSmallIcon = checkBox(page, "cbSmallIcon", tr("「大きなアイコン表示」で小さいアイコンを使う(&I)"));
    cbDisableClose = checkBox(page, "cbDisableClose", tr("閉じるボタンを無効にする(&X)"));
    cmbBlinkIcon = listBox(page, "cmbBlinkIcon",
                           {tr("なし"), tr("ログイン"), tr("ログアウト")});
    auto *lblBlinkIcon = new QLabel(tr("端末アイコンの点滅(&B)"), page);
    lblBlinkIcon->setBuddy(cmbBlinkIcon);
    cbBlinkAlways = checkBox(page, "cbBlinkAlways", tr("常時点滅(&N)"));
    cmbDblClickAction = listBox(page, "cmbDblClickAction",
                                {tr("お休み"), tr("調査"), tr("プロパティ"),
                                 tr("メッセージ送信"), tr("MAC取得"), tr("起動"),
                                 tr("エクスプローラで開く"), tr("ブラウザで開く")});
    auto *lblDblClick = new QLabel(tr("ダブルクリックの動作(&J)"), page);
    lblDblClick->setBuddy(cmbDblClickAction);
    // The languages by their own names, so that either reader finds theirs.
    cmbLanguage = listBox(page, "cmbLanguage",
                          {tr("自動"), QStringLiteral("日本語"), QStringLiteral("English")});
    auto *lblLanguage = new QLabel(tr("表示言語(&L)"), page);
    lblLanguage->setBuddy(cmbLanguage);

    auto *grid = new QGridLayout(page);
    int row = 0;
    auto *interval = new QHBoxLayout;
    interval->addWidget(udCheckInterval);
    interval->addWidget(new QLabel(tr("分"), page));
    interval->addStretch();
    grid->addWidget(lblCheckInterval, row, 0);
    grid->addLayout(interval, row++, 1);
    grid->addWidget(lblMessageLevel, row, 0);
    grid->addWidget(cmbMessageLevel, row++, 1);
    grid->addWidget(lblMessageSpeed, row, 0);
    grid->addWidget(cmbMessageSpeed, row++, 1);
    grid->addWidget(cbWaitWave, row++, 0, 1, 2);
    grid->addWidget(cbSafeCheck, row++, 0, 1, 2);
    auto *start = new QHBoxLayout;
    start->addWidget(cbStartCheck);
    start->addWidget(cbStartCheckMsg);
    start->addStretch();
    grid->addLayout(start, row++, 0, 1, 2);
    grid->addWidget(lblManager, row, 0);
    grid->addWidget(edManager, row++, 1);
    grid->addWidget(cbSmallIcon, row++, 0, 1, 2);
    grid->addWidget(cbDisableClose, row++, 0, 1, 2);
    auto *blink = new QHBoxLayout;
    blink->addWidget(cmbBlinkIcon);
    blink->addWidget(cbBlinkAlways);
    blink->addStretch();
    grid->addWidget(lblBlinkIcon, row, 0);
    grid->addLayout(blink, row++, 1);
    grid->addWidget(lblDblClick, row, 0);
    grid->addWidget(cmbDblClickAction, row++, 1);
    auto *language = new QHBoxLayout;
    language->addWidget(cmbLanguage);
    language->addWidget(new QLabel(tr("次回の起動から有効になります"), page));
    language->addStretch();
    grid->addWidget(lblLanguage, row, 0);
    grid->addLayout(language, row++, 1);
    grid->setRowStretch(row, 1);
    return page;
}

void SettingsDialog::BuildEventGroup(EventGroup &g, const QString &title, const QString &macCaption)
{
    g.gb = new QGroupBox(title);
    g.cbShowMsg = new QCheckBox(tr("ﾒｯｾｰｼﾞを表示する"), g.gb);
    g.lblShowMsgTime = new QLabel(tr("表示時間"), g.gb);
    g.udShowMsgTime = upDown(g.gb, "udShowMsgTime", 0, 9999);
    g.lblShowMsgTime->setBuddy(g.udShowMsgTime);
    g.lblSeconds = new QLabel(tr("秒"), g.gb);
    g.cbDoAction = new QCheckBox(tr("Actionを実行する"), g.gb);
    g.cbManagerReport = new QCheckBox(tr("管理者に報告"), g.gb);
    g.cbAutoMAC = new QCheckBox(macCaption, g.gb);

    auto *time = new QHBoxLayout;
    time->addSpacing(20);
    time->addWidget(g.lblShowMsgTime);
    time->addWidget(g.udShowMsgTime);
    time->addWidget(g.lblSeconds);
    time->addStretch();
    auto *layout = new QVBoxLayout(g.gb);
    layout->addWidget(g.cbShowMsg);
    layout->addLayout(time);
    layout->addWidget(g.cbDoAction);
    layout->addWidget(g.cbManagerReport);
    layout->addWidget(g.cbAutoMAC);
}

QWidget *SettingsDialog::BuildEventPage()
{
    auto *page = new QWidget;
    BuildEventGroup(Login, tr("端末ログイン"), tr("MACアドレスを自動取得する"));
    BuildEventGroup(Logout, tr("端末ログアウト"), tr("取得したMACアドレスを破棄する"));
    for (auto [g, prefix] : {std::pair{&Login, "Login"}, std::pair{&Logout, "Logout"}}) {
        const QString p = QLatin1String(prefix);
        g->gb->setObjectName(QStringLiteral("gb") + p);
        g->cbShowMsg->setObjectName(QStringLiteral("cb") + p + QStringLiteral("ShowMsg"));
        g->udShowMsgTime->setObjectName(QStringLiteral("ud") + p + QStringLiteral("ShowMsgTime"));
        g->cbDoAction->setObjectName(QStringLiteral("cb") + p + QStringLiteral("DoAction"));
        g->cbManagerReport->setObjectName(QStringLiteral("cb") + p + QStringLiteral("ManagerReport"));
        g->cbAutoMAC->setObjectName(QStringLiteral("cb") + p + QStringLiteral("AutoMAC"));
    }
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(Login.gb);
    layout->addWidget(Logout.gb);
    layout->addStretch();
    return page;
}

void SettingsDialog::BuildAllEventGroup(AllEventGroup &g, const QString &title, bool logout)
{
    g.gb = new QGroupBox(title);
    g.cbShowMsg = new QCheckBox(tr("ﾒｯｾｰｼﾞを表示"), g.gb);
    g.lblShowMsgTime = new QLabel(tr("表示時間"), g.gb);
    g.udShowMsgTime = upDown(g.gb, "udShowMsgTime", 1, 9999);
    g.lblShowMsgTime->setBuddy(g.udShowMsgTime);
    g.lblSeconds = new QLabel(tr("秒"), g.gb);
    g.cbPlayWave = new QCheckBox(tr("Waveを再生する"), g.gb);
    g.edWaveFile = new QLineEdit(g.gb);
    g.pbWaveBrowse = new QPushButton(tr("参照..."), g.gb);
    g.pbWaveTest = new QPushButton(tr("ﾃｽﾄ"), g.gb);
    g.udActTime = upDown(g.gb, "udActTime", 0, 60);
    g.rbNothing = new QRadioButton(tr("何もしない"), g.gb);
    if (logout)
        g.rbShutdown = new QRadioButton(tr("コンピューターを終了"), g.gb);
    g.rbRun = new QRadioButton(tr("ｱﾌﾟﾘｹｰｼｮﾝを実行"), g.gb);
    auto *actions = new QButtonGroup(g.gb);
    actions->addButton(g.rbNothing);
    if (g.rbShutdown)
        actions->addButton(g.rbShutdown);
    actions->addButton(g.rbRun);
    g.lblActFile = new QLabel(tr("ｱﾌﾟﾘｹｰｼｮﾝ"), g.gb);
    g.edActFile = new QLineEdit(g.gb);
    g.lblActFile->setBuddy(g.edActFile);
    g.pbActBrowse = new QPushButton(tr("参照"), g.gb);
    g.cbManagerReport = new QCheckBox(tr("管理者に報告"), g.gb);
    for (QPushButton *b : {g.pbWaveBrowse, g.pbWaveTest, g.pbActBrowse})
        b->setAutoDefault(false);

    auto *grid = new QGridLayout(g.gb);
    int row = 0;
    auto *message = new QHBoxLayout;
    message->addWidget(g.cbShowMsg);
    message->addSpacing(12);
    message->addWidget(g.lblShowMsgTime);
    message->addWidget(g.udShowMsgTime);
    message->addWidget(g.lblSeconds);
    message->addStretch();
    message->addWidget(g.cbManagerReport);
    grid->addLayout(message, row++, 0, 1, 4);
    grid->addWidget(g.cbPlayWave, row, 0);
    grid->addWidget(g.edWaveFile, row, 1);
    grid->addWidget(g.pbWaveBrowse, row, 2);
    grid->addWidget(g.pbWaveTest, row++, 3);
    auto *action = new QHBoxLayout;
    action->addWidget(g.udActTime);
    action->addWidget(new QLabel(tr("分後"), g.gb));
    action->addSpacing(12);
    action->addWidget(g.rbNothing);
    if (g.rbShutdown)
        action->addWidget(g.rbShutdown);
    action->addWidget(g.rbRun);
    action->addStretch();
    grid->addLayout(action, row++, 0, 1, 4);
    grid->addWidget(g.lblActFile, row, 0);
    grid->addWidget(g.edActFile, row, 1, 1, 2);
    grid->addWidget(g.pbActBrowse, row++, 3);
    grid->setColumnStretch(1, 1);
}

QWidget *SettingsDialog::BuildAllEventPage()
{
    auto *page = new QWidget;
    BuildAllEventGroup(AllLogin, tr("全体ログイン"), false);
    BuildAllEventGroup(AllLogout, tr("全体ログアウト"), true);
    for (auto [g, prefix] : {std::pair{&AllLogin, "AllLogin"}, std::pair{&AllLogout, "AllLogout"}}) {
        const QString p = QLatin1String(prefix);
        g->gb->setObjectName(QStringLiteral("gb") + p);
        g->cbShowMsg->setObjectName(QStringLiteral("cb") + p + QStringLiteral("ShowMsg"));
        g->udShowMsgTime->setObjectName(QStringLiteral("ud") + p + QStringLiteral("ShowMsgTime"));
        g->cbPlayWave->setObjectName(QStringLiteral("cb") + p + QStringLiteral("PlayWave"));
        g->edWaveFile->setObjectName(QStringLiteral("ed") + p + QStringLiteral("WaveFile"));
        g->udActTime->setObjectName(QStringLiteral("ud") + p + QStringLiteral("ActTime"));
        g->edActFile->setObjectName(QStringLiteral("ed") + p + QStringLiteral("ActFile"));
        g->cbManagerReport->setObjectName(QStringLiteral("cb") + p + QStringLiteral("ManagerReport"));
        connect(g->pbWaveBrowse, &QPushButton::clicked, this, [this, g] { BrowseWave(g->edWaveFile); });
        connect(g->pbWaveTest, &QPushButton::clicked, this, [this, g] { WaveTest(g->edWaveFile); });
        connect(g->pbActBrowse, &QPushButton::clicked, this, [this, g] { BrowseProgram(g->edActFile); });
    }
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(AllLogin.gb);
    layout->addWidget(AllLogout.gb);
    layout->addStretch();
    return page;
}

QWidget *SettingsDialog::BuildAccessPage()
{
    auto *page = new QWidget;
    udAccessInterval = upDown(page, "udAccessInterval", 3, 3600);
    // The operator may type past either end; leaving the box brings the
    // value back inside instead of to its previous value.
    udAccessInterval->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    auto *lblAccessInterval = new QLabel(tr("監視間隔(&A)"), page);
    lblAccessInterval->setBuddy(udAccessInterval);
    const QStringList LevelItems{tr("端末"), tr("共有"), tr("ファイル")};
    cmbCheckLevel = listBox(page, "cmbCheckLevel", LevelItems);
    cmbReportLevel = listBox(page, "cmbReportLevel", LevelItems);
    cbNotUserOnly = checkBox(page, "cbNotUserOnly", tr("監視ﾕｰｻﾞｰはﾁｪｯｸしない"));
    cbIPCNoChk = checkBox(page, "cbIPCNoChk", tr("IPC$はﾁｪｯｸしない"));
    cbSysvolNoChk = checkBox(page, "cbSysvolNoChk", tr("SYSVOLはﾁｪｯｸしない"));
    cbMyPCNoChk = checkBox(page, "cbMyPCNoChk", tr("自PC名$はﾁｪｯｸしない"));
    cbMyPCNoChk->setEnabled(false);
    cbMyPCNoChk->hide();
    cbOpenAccessList = checkBox(page, "cbOpenAccessList", tr("ｱｸｾｽ時ﾘｽﾄ画面を開く"));
    cbAccessListAutoClose = checkBox(page, "cbAccessListAutoClose", tr("ｱｸｾｽがなくなったら閉じる"));
    cbAccessShowMsg = checkBox(page, "cbAccessShowMsg", tr("ﾒｯｾｰｼﾞを表示する"));
    lblAccessShowMsgTime = new QLabel(tr("表示時間"), page);
    udAccessShowMsgTime = upDown(page, "udAccessShowMsgTime", 0, 9999);
    lblAccessSeconds = new QLabel(tr("秒"), page);
    cbAccessPlayWave = checkBox(page, "cbAccessPlayWave", tr("Waveを再生する"));
    edAccessWaveFile = new QLineEdit(page);
    edAccessWaveFile->setObjectName(QStringLiteral("edAccessWaveFile"));
    pbAccessWaveBrowse = new QPushButton(tr("参照..."), page);
    pbAccessWaveTest = new QPushButton(tr("ﾃｽﾄ"), page);
    for (QPushButton *b : {pbAccessWaveBrowse, pbAccessWaveTest})
        b->setAutoDefault(false);
    cbAccessManagerReport = checkBox(page, "cbAccessManagerReport", tr("管理者に報告"));
    edSendMessage = new QPlainTextEdit(page);
    edSendMessage->setObjectName(QStringLiteral("edSendMessage"));
    edSendMessage->setTabChangesFocus(true);
    edSendMessage->setFixedHeight(60);
    auto *lblSendMessage = new QLabel(tr("ﾒｯｾｰｼﾞ"), page);
    lblSendMessage->setBuddy(edSendMessage);
    cbAutoSend = checkBox(page, "cbAutoSend", tr("ﾒｯｾｰｼﾞを自動的に送信する(&A)"));
    connect(pbAccessWaveBrowse, &QPushButton::clicked, this, [this] { BrowseWave(edAccessWaveFile); });
    connect(pbAccessWaveTest, &QPushButton::clicked, this, [this] { WaveTest(edAccessWaveFile); });

    auto *grid = new QGridLayout(page);
    int row = 0;
    auto *top = new QHBoxLayout;
    top->addWidget(lblAccessInterval);
    top->addWidget(udAccessInterval);
    top->addWidget(new QLabel(tr("秒"), page));
    top->addSpacing(12);
    top->addWidget(new QLabel(tr("監視レベル"), page));
    top->addWidget(cmbCheckLevel);
    top->addWidget(new QLabel(tr("報告レベル"), page));
    top->addWidget(cmbReportLevel);
    top->addStretch();
    grid->addLayout(top, row++, 0, 1, 4);
    grid->addWidget(cbNotUserOnly, row, 0, 1, 2);
    grid->addWidget(cbIPCNoChk, row++, 2, 1, 2);
    grid->addWidget(cbSysvolNoChk, row, 0, 1, 2);
    grid->addWidget(cbMyPCNoChk, row++, 2, 1, 2);
    grid->addWidget(cbOpenAccessList, row, 0, 1, 2);
    grid->addWidget(cbAccessListAutoClose, row++, 2, 1, 2);
    auto *message = new QHBoxLayout;
    message->addWidget(cbAccessShowMsg);
    message->addSpacing(12);
    message->addWidget(lblAccessShowMsgTime);
    message->addWidget(udAccessShowMsgTime);
    message->addWidget(lblAccessSeconds);
    message->addStretch();
    message->addWidget(cbAccessManagerReport);
    grid->addLayout(message, row++, 0, 1, 4);
    grid->addWidget(cbAccessPlayWave, row, 0);
    grid->addWidget(edAccessWaveFile, row, 1);
    grid->addWidget(pbAccessWaveBrowse, row, 2);
    grid->addWidget(pbAccessWaveTest, row++, 3);
    grid->addWidget(lblSendMessage, row++, 0, 1, 4);
    grid->addWidget(edSendMessage, row++, 0, 1, 4);
    grid->addWidget(cbAutoSend, row++, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget *SettingsDialog::BuildPingPage()
{
    auto *page = new QWidget;
    udTimeOut = upDown(page, "udTimeOut", 500, 20000);
    udSendBytes = upDown(page, "udSendBytes", 0, 10240);
    udTTL = upDown(page, "udTTL", 0, 255);
    udRetry = upDown(page, "udRetry", 0, 5);
    cbParallel = checkBox(page, "cbParallel", tr("同時に調査する(&P)"));
    udAwayPasses = upDown(page, "udAwayPasses", 1, 10);
    cbNeighbourCheck = checkBox(page, "cbNeighbourCheck", tr("ARPに応答した端末も在席とする(&N)"));
    edTcpPorts = new QLineEdit(page);
    edTcpPorts->setObjectName(QStringLiteral("edTcpPorts"));
    edTcpPorts->setPlaceholderText(tr("例: 445,139,3389,22"));
    auto *grid = new QGridLayout(page);
    const struct {
        QString caption;
        QSpinBox *box;
        QString unit;
    } lines[] = {
        {tr("タイムアウト(&O)"), udTimeOut, tr("ミリ秒")},
        {tr("送信バイト数(&B)"), udSendBytes, tr("Bytes")},
        {tr("TTL(&T)"), udTTL, QString()},
        {tr("再送回数(&R)"), udRetry, tr("回")},
        {tr("ログアウトまでの不在(&L)"), udAwayPasses, tr("回続けて")},
    };
    int row = 0;
    for (const auto &line : lines) {
        auto *label = new QLabel(line.caption, page);
        label->setBuddy(line.box);
        grid->addWidget(label, row, 0);
        grid->addWidget(line.box, row, 1);
        grid->addWidget(new QLabel(line.unit, page), row++, 2);
    }
    grid->addWidget(cbParallel, row++, 0, 1, 3);
    // What each check beyond the echo costs, where the choice is made.
    const auto hint = [&](const QString &text) {
        auto *label = new QLabel(text, page);
        label->setWordWrap(true);
        label->setEnabled(false);
        grid->addWidget(label, row++, 0, 1, 4);
    };
    hint(tr("エコー要求に応答しない端末（Windowsのファイアウォールの既定）を見つける方法です。"));
    grid->addWidget(cbNeighbourCheck, row++, 0, 1, 4);
    hint(tr("同じネットワークにある端末だけ。スリープ中もARPに応答するネットワークアダプターが多く、その端末は在席と表示されます。"));
    auto *portsLabel = new QLabel(tr("TCPポート(&C)"), page);
    portsLabel->setBuddy(edTcpPorts);
    grid->addWidget(portsLabel, row, 0);
    grid->addWidget(edTcpPorts, row++, 1, 1, 3);
    hint(tr("エコーに応答しない端末にこれらのポートへ接続を試み、受け付けるか拒否すれば在席とします。空欄で使いません。"
            "毎回の試みは侵入検知にポートスキャンと見えることがあり、ファイアウォールが黙って捨てる端末は見つかりません。"));
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row, 1);
    return page;
}

void SettingsDialog::BuildRecordGroup(RecordGroup &g, const QString &title, const QString &prompt)
{
    g.prompt = prompt;
    g.gb = new QGroupBox(title);
    g.cbDoRecord = new QCheckBox(tr("履歴を記録する"), g.gb);
    g.lblRecordFile = new QLabel(tr("ﾌｧｲﾙ名"), g.gb);
    g.edRecordFile = new QLineEdit(g.gb);
    g.lblRecordFile->setBuddy(g.edRecordFile);
    g.lblRecordFileExp = new QLabel(tr("拡張子"), g.gb);
    g.edRecordFileExp = new QLineEdit(g.gb);
    g.edRecordFileExp->setMaximumWidth(60);
    g.lblRecordFileExp->setBuddy(g.edRecordFileExp);
    g.lblRecordFolder = new QLabel(tr("ﾃﾞｨﾚｸﾄﾘ"), g.gb);
    g.edRecordFolder = new QLineEdit(g.gb);
    g.lblRecordFolder->setBuddy(g.edRecordFolder);
    g.pbFolderBrowse = new QPushButton(tr("参照"), g.gb);
    g.pbFolderBrowse->setAutoDefault(false);
    g.lblExample = new QLabel(g.gb);

    auto *grid = new QGridLayout(g.gb);
    grid->addWidget(g.cbDoRecord, 0, 0, 1, 2);
    grid->addWidget(g.lblExample, 0, 2, 1, 4);
    grid->addWidget(g.lblRecordFile, 1, 0);
    grid->addWidget(g.edRecordFile, 1, 1, 1, 2);
    grid->addWidget(g.lblRecordFileExp, 1, 3);
    grid->addWidget(g.edRecordFileExp, 1, 4, 1, 2);
    grid->addWidget(g.lblRecordFolder, 2, 0);
    grid->addWidget(g.edRecordFolder, 2, 1, 1, 4);
    grid->addWidget(g.pbFolderBrowse, 2, 5);
    grid->setColumnStretch(2, 1);
}

QWidget *SettingsDialog::BuildRecordPage()
{
    auto *page = new QWidget;
    BuildRecordGroup(LoginRecord, tr("ログイン履歴(&1)"), tr("ﾛｸﾞｲﾝ履歴保存ﾃﾞｨﾚｸﾄﾘ"));
    BuildRecordGroup(LogoutRecord, tr("ログアウト履歴(&2)"), tr("ﾛｸﾞｱｳﾄ履歴保存ﾃﾞｨﾚｸﾄﾘ"));
    BuildRecordGroup(AccessRecord, tr("アクセス履歴(&3)"), tr("ｱｸｾｽ履歴保存ﾃﾞｨﾚｸﾄﾘ"));
    auto *layout = new QVBoxLayout(page);
    for (auto [g, prefix] : {std::pair{&LoginRecord, "Login"}, std::pair{&LogoutRecord, "Logout"},
                             std::pair{&AccessRecord, "Access"}}) {
        const QString p = QLatin1String(prefix);
        g->gb->setObjectName(QStringLiteral("gb") + p + QStringLiteral("Record"));
        g->cbDoRecord->setObjectName(QStringLiteral("cb") + p + QStringLiteral("DoRecord"));
        g->edRecordFile->setObjectName(QStringLiteral("ed") + p + QStringLiteral("RecordFile"));
        g->edRecordFileExp->setObjectName(QStringLiteral("ed") + p + QStringLiteral("RecordFileExp"));
        g->edRecordFolder->setObjectName(QStringLiteral("ed") + p + QStringLiteral("RecordFolder"));
        g->lblExample->setObjectName(QStringLiteral("lbl") + p + QStringLiteral("Example"));
        connect(g->pbFolderBrowse, &QPushButton::clicked, this, [this, g] { BrowseFolder(*g); });
        connect(g->edRecordFile, &QLineEdit::textChanged, this, &SettingsDialog::UpdateExamples);
        connect(g->edRecordFileExp, &QLineEdit::textChanged, this, &SettingsDialog::UpdateExamples);
        layout->addWidget(g->gb);
    }
    layout->addStretch();
    return page;
}

QWidget *SettingsDialog::BuildMailPage()
{
    auto *page = new QWidget;
    edMailServer = new QLineEdit(page);
    edMailServer->setObjectName(QStringLiteral("edMailServer"));
    udMailPort = upDown(page, "udMailPort", 1, 65535);
    udMailPort->setAlignment(Qt::AlignLeft);
    cmbMailSecurity = listBox(page, "cmbMailSecurity",
                              {tr("STARTTLS（必須）"), tr("TLS（ポート465）"), tr("なし（このコンピューターか信頼できる中継）")});
    edMailUser = new QLineEdit(page);
    edMailUser->setObjectName(QStringLiteral("edMailUser"));
    edMailPassword = new QLineEdit(page);
    edMailPassword->setObjectName(QStringLiteral("edMailPassword"));
    edMailPassword->setEchoMode(QLineEdit::Password);
    edMailFrom = new QLineEdit(page);
    edMailFrom->setObjectName(QStringLiteral("edMailFrom"));
    fsMailCAFile = new FileChooser(page);
    fsMailCAFile->setObjectName(QStringLiteral("fsMailCAFile"));
    fsMailCAFile->SetButtonCaption(tr("参照(&R)"));
    fsMailCAFile->Filter = tr("証明書(*.pem *.crt)|*.pem;*.crt|すべてのﾌｧｲﾙ(*.*)|*.*");
    pbMailTest = new QPushButton(tr("テスト送信(&T)"), page);
    pbMailTest->setObjectName(QStringLiteral("pbMailTest"));
    lblMailTest = new QLabel(page);
    lblMailTest->setObjectName(QStringLiteral("lblMailTest"));
    lblMailTest->setWordWrap(true);
    lblMailTest->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *grid = new QGridLayout(page);
    int row = 0;
    const auto line = [&](const QString &caption, QWidget *field, QWidget *buddy = nullptr) {
        auto *label = new QLabel(caption, page);
        label->setBuddy(buddy ? buddy : field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1, 1, 2);
    };
    auto *hint = new QLabel(tr("管理者端末に mailto:アドレス を書くと、報告をこのサーバーから電子メールで送ります。"), page);
    hint->setWordWrap(true);
    grid->addWidget(hint, row++, 0, 1, 3);
    line(tr("サーバー(&V)"), edMailServer);
    line(tr("ポート(&O)"), udMailPort);
    line(tr("暗号化(&E)"), cmbMailSecurity);
    line(tr("ユーザー(&U)"), edMailUser);
    line(tr("パスワード(&W)"), edMailPassword);
    line(tr("差出人(&F)"), edMailFrom);
    line(tr("CAファイル(&C)"), fsMailCAFile, fsMailCAFile->edFile);
    auto *caHint = new QLabel(tr("システムの代わりに信頼するCAの証明書。空欄ならシステムのものを使います。証明書の検証を止める設定はありません。"), page);
    caHint->setWordWrap(true);
    caHint->setEnabled(false);
    grid->addWidget(caHint, row++, 1, 1, 2);
    grid->addWidget(pbMailTest, row, 0);
    grid->addWidget(lblMailTest, row++, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    connect(pbMailTest, &QPushButton::clicked, this, &SettingsDialog::pbMailTestClick);
    return page;
}

QWidget *SettingsDialog::BuildIntegrationPage()
{
    auto *page = new QWidget;
    udWebPort = upDown(page, "udWebPort", 0, 65535);
    udWebPort->setAlignment(Qt::AlignLeft);
    udWebPort->setSpecialValueText(tr("使わない"));
    edWebAddress = new QLineEdit(page);
    edWebAddress->setObjectName(QStringLiteral("edWebAddress"));
    edWebToken = new QLineEdit(page);
    edWebToken->setObjectName(QStringLiteral("edWebToken"));
    edWebToken->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    pbWebToken = new QPushButton(tr("トークンを作る(&G)"), page);
    pbWebToken->setObjectName(QStringLiteral("pbWebToken"));
    lblWebToken = new QLabel(page);
    lblWebToken->setObjectName(QStringLiteral("lblWebToken"));
    lblWebToken->setWordWrap(true);
    lblWebToken->setStyleSheet(QStringLiteral("color: red"));
    fsWebCert = new FileChooser(page);
    fsWebCert->setObjectName(QStringLiteral("fsWebCert"));
    fsWebCert->SetButtonCaption(tr("参照..."));
    fsWebKey = new FileChooser(page);
    fsWebKey->setObjectName(QStringLiteral("fsWebKey"));
    fsWebKey->SetButtonCaption(tr("参照..."));
    edWebUrl = new QLineEdit(page);
    edWebUrl->setObjectName(QStringLiteral("edWebUrl"));
    edWebUrl->setReadOnly(true);
    edMqttBroker = new QLineEdit(page);
    edMqttBroker->setObjectName(QStringLiteral("edMqttBroker"));
    udMqttPort = upDown(page, "udMqttPort", 1, 65535);
    udMqttPort->setAlignment(Qt::AlignLeft);
    edMqttTopic = new QLineEdit(page);
    edMqttTopic->setObjectName(QStringLiteral("edMqttTopic"));
    edMqttUser = new QLineEdit(page);
    edMqttUser->setObjectName(QStringLiteral("edMqttUser"));
    edMqttPassword = new QLineEdit(page);
    edMqttPassword->setObjectName(QStringLiteral("edMqttPassword"));
    edMqttPassword->setEchoMode(QLineEdit::Password);
    fsMqttCAFile = new FileChooser(page);
    fsMqttCAFile->setObjectName(QStringLiteral("fsMqttCAFile"));
    fsMqttCAFile->SetButtonCaption(tr("参照..."));

    auto *grid = new QGridLayout(page);
    int row = 0;
    const auto line = [&](const QString &caption, QWidget *field, QWidget *buddy = nullptr, int span = 2) {
        auto *label = new QLabel(caption, page);
        label->setBuddy(buddy ? buddy : field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1, 1, span);
    };
    const auto hint = [&](const QString &text) {
        auto *label = new QLabel(text, page);
        label->setWordWrap(true);
        label->setEnabled(false);
        grid->addWidget(label, row++, 1, 1, 2);
    };
    auto *web = new QLabel(tr("Webページ、JSON、Prometheusのメトリクス"), page);
    web->setStyleSheet(QStringLiteral("font-weight: bold"));
    grid->addWidget(web, row++, 0, 1, 3);
    line(tr("Webポート(&W)"), udWebPort);
    line(tr("待ち受けアドレス(&D)"), edWebAddress);
    grid->addWidget(new QLabel(tr("トークン(&K)"), page), row, 0);
    qobject_cast<QLabel *>(grid->itemAtPosition(row, 0)->widget())->setBuddy(edWebToken);
    grid->addWidget(edWebToken, row, 1);
    grid->addWidget(pbWebToken, row++, 2);
    grid->addWidget(lblWebToken, row++, 1, 1, 2);
    hint(tr("トークンがないと、アドレスにかかわらずこのコンピューターからだけ読めます。ほかのコンピューターから読むにはトークンを作り、"
            "証明書と秘密鍵でHTTPSにしてください。"));
    line(tr("証明書(&E)"), fsWebCert, fsWebCert->edFile);
    line(tr("秘密鍵(&Y)"), fsWebKey, fsWebKey->edFile);
    line(tr("ページのアドレス"), edWebUrl);
    auto *mqtt = new QLabel(tr("MQTT（Home Assistant などのホームオートメーション）"), page);
    mqtt->setStyleSheet(QStringLiteral("font-weight: bold"));
    grid->addWidget(mqtt, row++, 0, 1, 3);
    line(tr("ブローカー(&B)"), edMqttBroker);
    line(tr("MQTTポート(&Q)"), udMqttPort);
    line(tr("トピック(&T)"), edMqttTopic);
    line(tr("MQTTユーザー(&U)"), edMqttUser);
    line(tr("MQTTパスワード(&S)"), edMqttPassword);
    line(tr("CAファイル(&C)"), fsMqttCAFile, fsMqttCAFile->edFile);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);

    connect(pbWebToken, &QPushButton::clicked, this, [this] { edWebToken->setText(NewWebToken()); });
    for (QLineEdit *e : {edWebAddress, edWebToken})
        connect(e, &QLineEdit::textChanged, this, &SettingsDialog::ShowWebUrl);
    connect(udWebPort, &QSpinBox::valueChanged, this, &SettingsDialog::ShowWebUrl);
    connect(fsWebCert, &FileChooser::OnChange, this, &SettingsDialog::ShowWebUrl);
    connect(fsWebKey, &FileChooser::OnChange, this, &SettingsDialog::ShowWebUrl);
    return page;
}

QString NewWebToken()
{
    std::array<quint32, 8> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words.data()), int(sizeof words))
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

void SettingsDialog::ShowWebUrl()
{
    // The endpoint does not start with a token that guessing could find.
    const QString token = edWebToken->text().trimmed();
    const bool tooShort = !token.isEmpty() && token.toUcs4().size() < WebTokenMinimum;
    lblWebToken->setText(tooShort ? tr("トークンが短すぎます。%1文字以上にしてください（「トークンを作る」で作れます）。"
                                       "短いトークンのままではWebページを開きません。")
                                        .arg(WebTokenMinimum)
                                  : QString());
    if (udWebPort->value() == 0 || tooShort) {
        edWebUrl->setText(tr("（使わない）"));
        return;
    }
    QString address = edWebAddress->text().trimmed();
    // Without a token only this computer is answered, whatever the address.
    if (edWebToken->text().isEmpty() || address.isEmpty())
        address = QStringLiteral("127.0.0.1");
    else if (address == u"0.0.0.0" || address == u"::")
        address = QSysInfo::machineHostName();
    if (address.contains(u':'))
        address = u'[' + address + u']';
    const bool tls = !fsWebCert->FileName().isEmpty() && !fsWebKey->FileName().isEmpty();
    edWebUrl->setText(QStringLiteral("%1://%2:%3/").arg(tls ? u"https"_s : u"http"_s, address).arg(udWebPort->value()));
}

QWidget *SettingsDialog::BuildXmlPage()
{
    auto *page = new QWidget;
    cmbXMLEncoding = listBox(page, "cmbXMLEncoding",
                             {QStringLiteral("Shift_JIS"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"),
                              QStringLiteral("UTF-16"), QStringLiteral("ISO-8859-1")});
    cmbXMLEncoding->setEditable(true);
    auto *lblEncoding = new QLabel(tr("文字コード(&I)"), page);
    lblEncoding->setBuddy(cmbXMLEncoding);
    fsXSLFile = new FileChooser(page);
    fsXSLFile->setObjectName(QStringLiteral("fsXSLFile"));
    fsXSLFile->SetButtonCaption(tr("参照(&R)"));
    fsXSLFile->Filter = tr("XSLﾌｧｲﾙ(*.xsl)|*.xsl|すべてのﾌｧｲﾙ(*.*)|*.*");
    auto *lblXSL = new QLabel(tr("スタイルシート(&S)"), page);
    lblXSL->setBuddy(fsXSLFile->edFile);
    lblMSXML = new QLabel(page);
    lblMSXML->setObjectName(QStringLiteral("lblMSXML"));

    auto *grid = new QGridLayout(page);
    grid->addWidget(lblEncoding, 0, 0);
    grid->addWidget(cmbXMLEncoding, 0, 1);
    grid->addWidget(lblXSL, 1, 0);
    grid->addWidget(fsXSLFile, 1, 1, 1, 3);
    grid->addWidget(lblMSXML, 2, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(3, 1);
    return page;
}
