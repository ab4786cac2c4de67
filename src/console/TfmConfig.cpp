#include "console/TfmConfig.h"

#include "config/ConfigRules.h"
#include "service/flags/ProcessFlags.h"
#include "config/Settings.h"
#include "console/HelpPages.h"
#include "console/TFileSelect.h"
#include "console/TFolderDialog.h"
#include "console/TImageLists.h"
#include "events/EventActions.h"
#include "events/RecordFile.h"
#include "events/XmlDocument.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

TfmConfig *current = nullptr;

const QString WaveFilter = QStringLiteral("Waveﾌｧｲﾙ(*.wav)|*.wav|すべてのﾌｧｲﾙ(*.*)|*.*");
const QString ProgramFilter =
    QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ(*.exe)|*.exe|ｼｮｰﾄｶｯﾄ(*.lnk)|*.lnk|DOSｱﾌﾟﾘｹｰｼｮﾝ(*.pif)|*.pif|すべてのﾌｧｲﾙ(*.*)|*.*");
const QString XslFilter = QStringLiteral("XSLﾌｧｲﾙ(*.xsl)|*.xsl|すべてのﾌｧｲﾙ(*.*)|*.*");
const QString NoWaveFileText = QStringLiteral("Waveﾌｧｲﾙが存在しません。");

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

void setList(QComboBox *box, qint32 index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

// A list with nothing chosen keeps what the setting held.
void takeList(const QComboBox *box, qint32 &setting)
{
    if (box->currentIndex() >= 0)
        setting = box->currentIndex();
}

void enable(std::initializer_list<QWidget *> widgets, bool on)
{
    for (QWidget *w : widgets)
        if (w)
            w->setEnabled(on);
}

const QStringList LevelItems{QStringLiteral("端末"), QStringLiteral("共有"), QStringLiteral("ファイル")};

} // namespace

TfmConfig::TfmConfig(EventActions *actions, QWidget *owner, std::function<bool()> xmlCheck)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      actions_(actions), xmlCheck_(xmlCheck ? std::move(xmlCheck) : std::function<bool()>(&XmlDocument::Available))
{
    current = this;
    setObjectName(QStringLiteral("fmConfig"));
    setWindowTitle(QStringLiteral("Config"));

    pcConfig = new QTabWidget(this);
    pcConfig->setObjectName(QStringLiteral("pcConfig"));
    pcConfig->addTab(BuildBasicPage(), QStringLiteral("基本"));
    pcConfig->addTab(BuildEventPage(), QStringLiteral("個別設定"));
    pcConfig->addTab(BuildAllEventPage(), QStringLiteral("全体設定"));
    pcConfig->addTab(BuildAccessPage(), QStringLiteral("アクセス"));
    pcConfig->addTab(BuildPingPage(), QStringLiteral("Ping"));
    pcConfig->addTab(BuildRecordPage(), QStringLiteral("ログ"));
    pcConfig->addTab(BuildXmlPage(), QStringLiteral("XML設定"));
    // F1 explains the page that is showing.
    setProperty("helpContext", int(HelpConfigFirstPage));
    connect(pcConfig, &QTabWidget::currentChanged, this,
            [this](int page) { setProperty("helpContext", int(page < 0 ? HelpConfig : HelpConfigFirstPage + page)); });

    pbOK = new QPushButton(QStringLiteral("OK"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setDefault(true);
    pbApply = new QPushButton(QStringLiteral("適用(&A)"), this);
    pbApply->setObjectName(QStringLiteral("pbApply"));
    pbApply->setAutoDefault(false);
    pbCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pbOK);
    buttons->addWidget(pbCancel);
    buttons->addWidget(pbApply);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pcConfig);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(pbOK, &QPushButton::clicked, this, &TfmConfig::pbOKClick);
    connect(pbApply, &QPushButton::clicked, this, &TfmConfig::pbApplyClick);
    connect(pbCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The XML engine's state first: the record pages depend on it.
    if (xmlCheck_()) {
        lblMSXML->setText(QStringLiteral("MSXML Ready."));
    } else {
        lblMSXML->setText(QStringLiteral("MSXML not found."));
        lblMSXML->setStyleSheet(QStringLiteral("color: red"));
    }

    loading_ = true;
    LoadControls();
    // Paths are read from their start, as they were typed.
    for (QLineEdit *box : findChildren<QLineEdit *>())
        box->setCursorPosition(0);
    UpdateEnabling();
    UpdateExamples();
    loading_ = false;
    WatchForChanges();
    pbApply->setEnabled(false);
}

TfmConfig::~TfmConfig()
{
    if (current == this)
        current = nullptr;
}

TfmConfig *TfmConfig::Current()
{
    return current;
}

bool TfmConfig::Execute(EventActions *actions, QWidget *owner, std::function<bool()> xmlCheck)
{
    if (TfmConfig *open = Current()) {
        open->raise();
        open->activateWindow();
        return false;
    }
    TfmConfig dialog(actions, owner, std::move(xmlCheck));
    {
        const WatchBusyMark busy;
        dialog.exec();
    }
    return dialog.Applied;
}

// ---------------------------------------------------------------- pages

QWidget *TfmConfig::BuildBasicPage()
{
    auto *page = new QWidget;
    udCheckInterval = upDown(page, "udCheckInterval", 1, 60);
    auto *lblCheckInterval = new QLabel(QStringLiteral("監視間隔(&T)"), page);
    lblCheckInterval->setBuddy(udCheckInterval);
    cmbMessageLevel = listBox(page, "cmbMessageLevel",
                              {QStringLiteral("標準"), QStringLiteral("メッセージバー"), QStringLiteral("アイコン点滅")});
    auto *lblMessageLevel = new QLabel(QStringLiteral("メッセージ表示レベル(&E)"), page);
    lblMessageLevel->setBuddy(cmbMessageLevel);
    cmbMessageSpeed =
        listBox(page, "cmbMessageSpeed", {QStringLiteral("低速"), QStringLiteral("中速"), QStringLiteral("高速")});
    lblMessageSpeed = new QLabel(QStringLiteral("メッセージ速度(&D)"), page);
    lblMessageSpeed->setBuddy(cmbMessageSpeed);
    cbWaitWave = checkBox(page, "cbWaitWave", QStringLiteral("Waveの再生が終わるまで次を再生しない(&W)"));
    cbSafeCheck = checkBox(page, "cbSafeCheck", QStringLiteral("厳しいﾁｪｯｸをする(&G)"));
    cbStartCheck = checkBox(page, "cbStartCheck", QStringLiteral("起動時に調査(&S)"));
    cbStartCheckMsg = checkBox(page, "cbStartCheckMsg", QStringLiteral("調査する前に聞く(&P)"));
    edManager = new QLineEdit(page);
    edManager->setObjectName(QStringLiteral("edManager"));
    auto *lblManager = new QLabel(QStringLiteral("管理者端末(&M)"), page);
    lblManager->setBuddy(edManager);
    cbSmallIcon = checkBox(page, "cbSmallIcon", QStringLiteral("「大きなアイコン表示」で小さいアイコンを使う(&I)"));
    cbDisableClose = checkBox(page, "cbDisableClose", QStringLiteral("閉じるボタンを無効にする(&X)"));
    cmbBlinkIcon = listBox(page, "cmbBlinkIcon",
                           {QStringLiteral("なし"), QStringLiteral("ログイン"), QStringLiteral("ログアウト")});
    auto *lblBlinkIcon = new QLabel(QStringLiteral("端末アイコンの点滅(&B)"), page);
    lblBlinkIcon->setBuddy(cmbBlinkIcon);
    cbBlinkAlways = checkBox(page, "cbBlinkAlways", QStringLiteral("常時点滅(&N)"));
    cmbDblClickAction = listBox(page, "cmbDblClickAction",
                                {QStringLiteral("お休み"), QStringLiteral("調査"), QStringLiteral("プロパティ"),
                                 QStringLiteral("メッセージ送信"), QStringLiteral("MAC取得"), QStringLiteral("起動"),
                                 QStringLiteral("エクスプローラで開く"), QStringLiteral("ブラウザで開く")});
    auto *lblDblClick = new QLabel(QStringLiteral("ダブルクリックの動作(&J)"), page);
    lblDblClick->setBuddy(cmbDblClickAction);

    auto *grid = new QGridLayout(page);
    int row = 0;
    auto *interval = new QHBoxLayout;
    interval->addWidget(udCheckInterval);
    interval->addWidget(new QLabel(QStringLiteral("分"), page));
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
    grid->setRowStretch(row, 1);
    return page;
}

void TfmConfig::BuildEventGroup(EventGroup &g, const QString &title, const QString &macCaption)
{
    g.gb = new QGroupBox(title);
    g.cbShowMsg = new QCheckBox(QStringLiteral("ﾒｯｾｰｼﾞを表示する"), g.gb);
    g.lblShowMsgTime = new QLabel(QStringLiteral("表示時間"), g.gb);
    g.udShowMsgTime = upDown(g.gb, "udShowMsgTime", 0, 9999);
    g.lblShowMsgTime->setBuddy(g.udShowMsgTime);
    g.lblSeconds = new QLabel(QStringLiteral("秒"), g.gb);
    g.cbDoAction = new QCheckBox(QStringLiteral("Actionを実行する"), g.gb);
    g.cbManagerReport = new QCheckBox(QStringLiteral("管理者に報告"), g.gb);
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

QWidget *TfmConfig::BuildEventPage()
{
    auto *page = new QWidget;
    BuildEventGroup(Login, QStringLiteral("端末ログイン"), QStringLiteral("MACアドレスを自動取得する"));
    BuildEventGroup(Logout, QStringLiteral("端末ログアウト"), QStringLiteral("取得したMACアドレスを破棄する"));
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

void TfmConfig::BuildAllEventGroup(AllEventGroup &g, const QString &title, bool logout)
{
    g.gb = new QGroupBox(title);
    g.cbShowMsg = new QCheckBox(QStringLiteral("ﾒｯｾｰｼﾞを表示"), g.gb);
    g.lblShowMsgTime = new QLabel(QStringLiteral("表示時間"), g.gb);
    g.udShowMsgTime = upDown(g.gb, "udShowMsgTime", 1, 9999);
    g.lblShowMsgTime->setBuddy(g.udShowMsgTime);
    g.lblSeconds = new QLabel(QStringLiteral("秒"), g.gb);
    g.cbPlayWave = new QCheckBox(QStringLiteral("Waveを再生する"), g.gb);
    g.edWaveFile = new QLineEdit(g.gb);
    g.pbWaveBrowse = new QPushButton(QStringLiteral("参照..."), g.gb);
    g.pbWaveTest = new QPushButton(QStringLiteral("ﾃｽﾄ"), g.gb);
    g.udActTime = upDown(g.gb, "udActTime", 0, 60);
    g.rbNothing = new QRadioButton(QStringLiteral("何もしない"), g.gb);
    if (logout)
        g.rbShutdown = new QRadioButton(QStringLiteral("Windowsを終了"), g.gb);
    g.rbRun = new QRadioButton(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝを実行"), g.gb);
    auto *actions = new QButtonGroup(g.gb);
    actions->addButton(g.rbNothing);
    if (g.rbShutdown)
        actions->addButton(g.rbShutdown);
    actions->addButton(g.rbRun);
    g.lblActFile = new QLabel(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ"), g.gb);
    g.edActFile = new QLineEdit(g.gb);
    g.lblActFile->setBuddy(g.edActFile);
    g.pbActBrowse = new QPushButton(QStringLiteral("参照"), g.gb);
    g.cbManagerReport = new QCheckBox(QStringLiteral("管理者に報告"), g.gb);
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
    action->addWidget(new QLabel(QStringLiteral("分後"), g.gb));
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

QWidget *TfmConfig::BuildAllEventPage()
{
    auto *page = new QWidget;
    BuildAllEventGroup(AllLogin, QStringLiteral("全体ログイン"), false);
    BuildAllEventGroup(AllLogout, QStringLiteral("全体ログアウト"), true);
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

QWidget *TfmConfig::BuildAccessPage()
{
    auto *page = new QWidget;
    udAccessInterval = upDown(page, "udAccessInterval", 3, 3600);
    // The operator may type past either end; leaving the box brings the
    // value back inside instead of to its previous value.
    udAccessInterval->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    auto *lblAccessInterval = new QLabel(QStringLiteral("監視間隔(&A)"), page);
    lblAccessInterval->setBuddy(udAccessInterval);
    cmbCheckLevel = listBox(page, "cmbCheckLevel", LevelItems);
    cmbReportLevel = listBox(page, "cmbReportLevel", LevelItems);
    cbNotUserOnly = checkBox(page, "cbNotUserOnly", QStringLiteral("監視ﾕｰｻﾞｰはﾁｪｯｸしない"));
    cbIPCNoChk = checkBox(page, "cbIPCNoChk", QStringLiteral("IPC$はﾁｪｯｸしない"));
    cbSysvolNoChk = checkBox(page, "cbSysvolNoChk", QStringLiteral("SYSVOLはﾁｪｯｸしない"));
    cbMyPCNoChk = checkBox(page, "cbMyPCNoChk", QStringLiteral("自PC名$はﾁｪｯｸしない"));
    cbMyPCNoChk->setEnabled(false);
    cbMyPCNoChk->hide();
    cbOpenAccessList = checkBox(page, "cbOpenAccessList", QStringLiteral("ｱｸｾｽ時ﾘｽﾄ画面を開く"));
    cbAccessListAutoClose = checkBox(page, "cbAccessListAutoClose", QStringLiteral("ｱｸｾｽがなくなったら閉じる"));
    cbAccessShowMsg = checkBox(page, "cbAccessShowMsg", QStringLiteral("ﾒｯｾｰｼﾞを表示する"));
    lblAccessShowMsgTime = new QLabel(QStringLiteral("表示時間"), page);
    udAccessShowMsgTime = upDown(page, "udAccessShowMsgTime", 0, 9999);
    lblAccessSeconds = new QLabel(QStringLiteral("秒"), page);
    cbAccessPlayWave = checkBox(page, "cbAccessPlayWave", QStringLiteral("Waveを再生する"));
    edAccessWaveFile = new QLineEdit(page);
    edAccessWaveFile->setObjectName(QStringLiteral("edAccessWaveFile"));
    pbAccessWaveBrowse = new QPushButton(QStringLiteral("参照..."), page);
    pbAccessWaveTest = new QPushButton(QStringLiteral("ﾃｽﾄ"), page);
    for (QPushButton *b : {pbAccessWaveBrowse, pbAccessWaveTest})
        b->setAutoDefault(false);
    cbAccessManagerReport = checkBox(page, "cbAccessManagerReport", QStringLiteral("管理者に報告"));
    edSendMessage = new QPlainTextEdit(page);
    edSendMessage->setObjectName(QStringLiteral("edSendMessage"));
    edSendMessage->setTabChangesFocus(true);
    edSendMessage->setFixedHeight(60);
    auto *lblSendMessage = new QLabel(QStringLiteral("ﾒｯｾｰｼﾞ"), page);
    lblSendMessage->setBuddy(edSendMessage);
    cbAutoSend = checkBox(page, "cbAutoSend", QStringLiteral("ﾒｯｾｰｼﾞを自動的に送信する(&A)"));
    connect(pbAccessWaveBrowse, &QPushButton::clicked, this, [this] { BrowseWave(edAccessWaveFile); });
    connect(pbAccessWaveTest, &QPushButton::clicked, this, [this] { WaveTest(edAccessWaveFile); });

    auto *grid = new QGridLayout(page);
    int row = 0;
    auto *top = new QHBoxLayout;
    top->addWidget(lblAccessInterval);
    top->addWidget(udAccessInterval);
    top->addWidget(new QLabel(QStringLiteral("秒"), page));
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("監視レベル"), page));
    top->addWidget(cmbCheckLevel);
    top->addWidget(new QLabel(QStringLiteral("報告レベル"), page));
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

QWidget *TfmConfig::BuildPingPage()
{
    auto *page = new QWidget;
    udTimeOut = upDown(page, "udTimeOut", 500, 20000);
    udSendBytes = upDown(page, "udSendBytes", 0, 10240);
    udTTL = upDown(page, "udTTL", 0, 255);
    udRetry = upDown(page, "udRetry", 0, 5);
    cbParallel = checkBox(page, "cbParallel", QStringLiteral("同時に調査する(&P)"));
    auto *grid = new QGridLayout(page);
    const struct {
        QString caption;
        QSpinBox *box;
        QString unit;
    } lines[] = {
        {QStringLiteral("タイムアウト(&O)"), udTimeOut, QStringLiteral("ミリ秒")},
        {QStringLiteral("送信バイト数(&B)"), udSendBytes, QStringLiteral("Bytes")},
        {QStringLiteral("TTL(&T)"), udTTL, QString()},
        {QStringLiteral("再送回数(&R)"), udRetry, QStringLiteral("回")},
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
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row, 1);
    return page;
}

void TfmConfig::BuildRecordGroup(RecordGroup &g, const QString &title, const QString &prompt)
{
    g.prompt = prompt;
    g.gb = new QGroupBox(title);
    g.cbDoRecord = new QCheckBox(QStringLiteral("履歴を記録する"), g.gb);
    g.lblRecordFile = new QLabel(QStringLiteral("ﾌｧｲﾙ名"), g.gb);
    g.edRecordFile = new QLineEdit(g.gb);
    g.lblRecordFile->setBuddy(g.edRecordFile);
    g.lblRecordFileExp = new QLabel(QStringLiteral("拡張子"), g.gb);
    g.edRecordFileExp = new QLineEdit(g.gb);
    g.edRecordFileExp->setMaximumWidth(60);
    g.lblRecordFileExp->setBuddy(g.edRecordFileExp);
    g.lblRecordFolder = new QLabel(QStringLiteral("ﾃﾞｨﾚｸﾄﾘ"), g.gb);
    g.edRecordFolder = new QLineEdit(g.gb);
    g.lblRecordFolder->setBuddy(g.edRecordFolder);
    g.pbFolderBrowse = new QPushButton(QStringLiteral("参照"), g.gb);
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

QWidget *TfmConfig::BuildRecordPage()
{
    auto *page = new QWidget;
    BuildRecordGroup(LoginRecord, QStringLiteral("ログイン履歴(&1)"), QStringLiteral("ﾛｸﾞｲﾝ履歴保存ﾃﾞｨﾚｸﾄﾘ"));
    BuildRecordGroup(LogoutRecord, QStringLiteral("ログアウト履歴(&2)"), QStringLiteral("ﾛｸﾞｱｳﾄ履歴保存ﾃﾞｨﾚｸﾄﾘ"));
    BuildRecordGroup(AccessRecord, QStringLiteral("アクセス履歴(&3)"), QStringLiteral("ｱｸｾｽ履歴保存ﾃﾞｨﾚｸﾄﾘ"));
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
        connect(g->edRecordFile, &QLineEdit::textChanged, this, &TfmConfig::UpdateExamples);
        connect(g->edRecordFileExp, &QLineEdit::textChanged, this, &TfmConfig::UpdateExamples);
        layout->addWidget(g->gb);
    }
    layout->addStretch();
    return page;
}

QWidget *TfmConfig::BuildXmlPage()
{
    auto *page = new QWidget;
    cmbXMLEncoding = listBox(page, "cmbXMLEncoding",
                             {QStringLiteral("Shift_JIS"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"),
                              QStringLiteral("UTF-16"), QStringLiteral("ISO-8859-1")});
    cmbXMLEncoding->setEditable(true);
    auto *lblEncoding = new QLabel(QStringLiteral("文字コード(&I)"), page);
    lblEncoding->setBuddy(cmbXMLEncoding);
    fsXSLFile = new TFileSelect(page);
    fsXSLFile->setObjectName(QStringLiteral("fsXSLFile"));
    fsXSLFile->SetButtonCaption(QStringLiteral("参照(&R)"));
    fsXSLFile->Filter = XslFilter;
    auto *lblXSL = new QLabel(QStringLiteral("スタイルシート(&S)"), page);
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

// ---------------------------------------------------------------- values

void TfmConfig::LoadControls()
{
    TSettings &s = Settings;
    const TSettings::TConfig &c = s.Config;
    udCheckInterval->setValue(UpDownPosition(c.CheckInterval, 16, 1, 60));
    setList(cmbMessageLevel, c.MessageLevel);
    setList(cmbMessageSpeed, c.MessageSpeed);
    cbWaitWave->setChecked(c.WaitWave);
    cbSafeCheck->setChecked(c.SafeCheck);
    cbStartCheck->setChecked(c.StartCheck);
    cbStartCheckMsg->setChecked(c.StartCheckMsg);
    edManager->setText(c.Manager);
    cbSmallIcon->setChecked(c.SmallIcon);
    cbDisableClose->setChecked(c.DisableClose);
    setList(cmbBlinkIcon, c.BlinkIcon);
    cbBlinkAlways->setChecked(c.BlinkAlways);
    setList(cmbDblClickAction, c.DblClickAction);

    for (auto [g, e] : {std::pair{&Login, &s.Login}, std::pair{&Logout, &s.Logout}}) {
        g->cbShowMsg->setChecked(e->ShowMsg);
        g->udShowMsgTime->setValue(UpDownPosition(e->ShowMsgTime, 16, 0, 9999));
        g->cbDoAction->setChecked(e->DoAction);
        g->cbManagerReport->setChecked(e->ManagerReport);
        g->cbAutoMAC->setChecked(e->AutoMAC);
    }

    for (auto [g, e, logout] : {std::tuple{&AllLogin, &s.AllLogin, false}, std::tuple{&AllLogout, &s.AllLogout, true}}) {
        g->cbShowMsg->setChecked(e->ShowMsg);
        g->udShowMsgTime->setValue(UpDownPosition(e->ShowMsgTime, 16, 1, 9999));
        g->cbPlayWave->setChecked(e->PlayWave);
        g->edWaveFile->setText(e->WaveFile);
        g->udActTime->setValue(UpDownPosition(e->ActTime, 16, 0, 60));
        // An action this event cannot run is forgotten at once, not only
        // when the dialog's values are taken.
        e->Action = ValidAllEventAction(e->Action, logout);
        g->rbNothing->setChecked(e->Action == ActionNothing);
        if (g->rbShutdown)
            g->rbShutdown->setChecked(e->Action == ActionShutdown);
        g->rbRun->setChecked(e->Action == ActionRunProgram);
        g->edActFile->setText(e->ActFile);
        g->cbManagerReport->setChecked(e->ManagerReport);
    }
    AllLogout.rbShutdown->setEnabled(ShutdownAllowed);

    const TSettings::TAccess &a = s.Access;
    udAccessInterval->setValue(UpDownPosition(a.CheckInterval, 16, 3, 3600));
    setList(cmbCheckLevel, a.CheckLevel);
    setList(cmbReportLevel, a.ReportLevel);
    cbNotUserOnly->setChecked(a.NotUserOnly);
    cbIPCNoChk->setChecked(a.IPCNoChk);
    cbSysvolNoChk->setChecked(a.SysvolNoChk);
    cbOpenAccessList->setChecked(a.OpenAccessList);
    cbAccessListAutoClose->setChecked(a.AccessListAutoClose);
    cbAccessShowMsg->setChecked(a.ShowMsg);
    udAccessShowMsgTime->setValue(UpDownPosition(a.ShowMsgTime, 16, 0, 9999));
    cbAccessPlayWave->setChecked(a.PlayWave);
    edAccessWaveFile->setText(a.WaveFile);
    cbAccessManagerReport->setChecked(a.ManagerReport);
    QString message = s.Messenger.SendMessage;
    edSendMessage->setPlainText(message.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    cbAutoSend->setChecked(s.Messenger.AutoSend);

    udTimeOut->setValue(UpDownPosition(s.TCPIP.TimeOut, 16, 500, 20000));
    udSendBytes->setValue(UpDownPosition(s.TCPIP.SendBytes, 16, 0, 10240));
    udTTL->setValue(UpDownPosition(s.TCPIP.TTL, 8, 0, 255));
    udRetry->setValue(UpDownPosition(s.TCPIP.Retry, 16, 0, 5));
    cbParallel->setChecked(s.TCPIP.Parallel);

    for (auto [g, e] : {std::pair{&LoginRecord, &s.Login}, std::pair{&LogoutRecord, &s.Logout}}) {
        g->cbDoRecord->setChecked(e->DoRecord);
        g->edRecordFile->setText(e->RecordFile);
        g->edRecordFileExp->setText(e->RecordFileExp);
        g->edRecordFolder->setText(e->RecordFolder);
    }
    AccessRecord.cbDoRecord->setChecked(a.DoRecord);
    AccessRecord.edRecordFile->setText(a.RecordFile);
    AccessRecord.edRecordFileExp->setText(a.RecordFileExp);
    AccessRecord.edRecordFolder->setText(a.RecordFolder);

    cmbXMLEncoding->setCurrentText(c.XMLEncoding);
    fsXSLFile->SetFileName(c.XSLFile);
}

void TfmConfig::SaveControls()
{
    TSettings &s = Settings;
    TSettings::TConfig &c = s.Config;
    c.CheckInterval = quint16(udCheckInterval->value());
    takeList(cmbMessageLevel, c.MessageLevel);
    takeList(cmbMessageSpeed, c.MessageSpeed);
    c.WaitWave = cbWaitWave->isChecked();
    c.SafeCheck = cbSafeCheck->isChecked();
    c.StartCheck = cbStartCheck->isChecked();
    c.StartCheckMsg = cbStartCheckMsg->isChecked();
    c.Manager = edManager->text();
    c.SmallIcon = cbSmallIcon->isChecked();
    c.DisableClose = cbDisableClose->isChecked();
    takeList(cmbBlinkIcon, c.BlinkIcon);
    c.BlinkAlways = cbBlinkAlways->isChecked();
    takeList(cmbDblClickAction, c.DblClickAction);

    for (auto [g, e] : {std::pair{&Login, &s.Login}, std::pair{&Logout, &s.Logout}}) {
        e->ShowMsg = g->cbShowMsg->isChecked();
        e->ShowMsgTime = quint16(g->udShowMsgTime->value());
        e->DoAction = g->cbDoAction->isChecked();
        e->ManagerReport = g->cbManagerReport->isChecked();
        e->AutoMAC = g->cbAutoMAC->isChecked();
    }
    for (auto [g, e] : {std::pair{&AllLogin, &s.AllLogin}, std::pair{&AllLogout, &s.AllLogout}}) {
        e->ShowMsg = g->cbShowMsg->isChecked();
        e->ShowMsgTime = quint16(g->udShowMsgTime->value());
        e->PlayWave = g->cbPlayWave->isChecked();
        e->WaveFile = g->edWaveFile->text();
        e->ActTime = quint16(g->udActTime->value());
        if (g->rbRun->isChecked())
            e->Action = ActionRunProgram;
        else if (g->rbShutdown && g->rbShutdown->isChecked())
            e->Action = ActionShutdown;
        else
            e->Action = ActionNothing;
        e->ActFile = g->edActFile->text();
        e->ManagerReport = g->cbManagerReport->isChecked();
    }

    TSettings::TAccess &a = s.Access;
    a.CheckInterval = quint16(udAccessInterval->value());
    takeList(cmbCheckLevel, a.CheckLevel);
    takeList(cmbReportLevel, a.ReportLevel);
    a.NotUserOnly = cbNotUserOnly->isChecked();
    a.IPCNoChk = cbIPCNoChk->isChecked();
    a.SysvolNoChk = cbSysvolNoChk->isChecked();
    // Nothing can set it: its box is never shown.
    a.MyPCNoChk = cbMyPCNoChk->isChecked();
    a.OpenAccessList = cbOpenAccessList->isChecked();
    a.AccessListAutoClose = cbAccessListAutoClose->isChecked();
    a.ShowMsg = cbAccessShowMsg->isChecked();
    a.ShowMsgTime = quint16(udAccessShowMsgTime->value());
    a.PlayWave = cbAccessPlayWave->isChecked();
    a.WaveFile = edAccessWaveFile->text();
    a.ManagerReport = cbAccessManagerReport->isChecked();
    s.Messenger.SendMessage = edSendMessage->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    s.Messenger.AutoSend = cbAutoSend->isChecked();

    s.TCPIP.TimeOut = udTimeOut->value();
    s.TCPIP.SendBytes = udSendBytes->value();
    s.TCPIP.TTL = quint8(udTTL->value());
    s.TCPIP.Retry = udRetry->value();
    s.TCPIP.Parallel = cbParallel->isChecked();

    for (auto [g, e] : {std::pair{&LoginRecord, &s.Login}, std::pair{&LogoutRecord, &s.Logout}}) {
        e->DoRecord = g->cbDoRecord->isChecked();
        e->RecordFile = g->edRecordFile->text();
        e->RecordFileExp = g->edRecordFileExp->text();
        e->RecordFolder = g->edRecordFolder->text();
    }
    a.DoRecord = AccessRecord.cbDoRecord->isChecked();
    a.RecordFile = AccessRecord.edRecordFile->text();
    a.RecordFileExp = AccessRecord.edRecordFileExp->text();
    a.RecordFolder = AccessRecord.edRecordFolder->text();

    c.XMLEncoding = cmbXMLEncoding->currentText();
    c.XSLFile = fsXSLFile->FileName();
}

// ---------------------------------------------------------------- rules

void TfmConfig::UpdateEnabling()
{
    cbStartCheckMsg->setEnabled(cbStartCheck->isChecked());
    const bool bar = cmbMessageLevel->currentIndex() == 1;
    enable({lblMessageSpeed, cmbMessageSpeed}, bar);
    cbBlinkAlways->setEnabled(cmbBlinkIcon->currentIndex() > 0);

    for (EventGroup *g : {&Login, &Logout})
        enable({g->lblShowMsgTime, g->udShowMsgTime, g->lblSeconds}, g->cbShowMsg->isChecked());
    for (AllEventGroup *g : {&AllLogin, &AllLogout}) {
        enable({g->lblShowMsgTime, g->udShowMsgTime, g->lblSeconds}, g->cbShowMsg->isChecked());
        enable({g->edWaveFile, g->pbWaveBrowse, g->pbWaveTest}, g->cbPlayWave->isChecked());
        enable({g->lblActFile, g->edActFile, g->pbActBrowse}, g->rbRun->isChecked());
    }

    cbAccessListAutoClose->setEnabled(cbOpenAccessList->isChecked());
    enable({lblAccessShowMsgTime, udAccessShowMsgTime, lblAccessSeconds}, cbAccessShowMsg->isChecked());
    enable({edAccessWaveFile, pbAccessWaveBrowse, pbAccessWaveTest}, cbAccessPlayWave->isChecked());

    for (RecordGroup *g : {&LoginRecord, &LogoutRecord, &AccessRecord})
        enable({g->lblRecordFile, g->edRecordFile, g->lblRecordFileExp, g->edRecordFileExp, g->lblExample,
                g->lblRecordFolder, g->edRecordFolder, g->pbFolderBrowse},
               g->cbDoRecord->isChecked());
}

void TfmConfig::UpdateExamples()
{
    const QDate today = QDate::currentDate();
    for (RecordGroup *g : {&LoginRecord, &LogoutRecord, &AccessRecord})
        g->lblExample->setText(
            ExpandRecordName(g->edRecordFile->text() + u'.' + g->edRecordFileExp->text(), today));
}

void TfmConfig::Changed()
{
    if (!loading_)
        pbApply->setEnabled(true);
}

void TfmConfig::WatchForChanges()
{
    const auto changed = [this] {
        UpdateEnabling();
        Changed();
    };
    for (QCheckBox *box : findChildren<QCheckBox *>())
        connect(box, &QCheckBox::toggled, this, changed);
    for (QRadioButton *box : findChildren<QRadioButton *>())
        connect(box, &QRadioButton::toggled, this, changed);
    for (QComboBox *box : findChildren<QComboBox *>()) {
        connect(box, &QComboBox::currentIndexChanged, this, changed);
        connect(box, &QComboBox::editTextChanged, this, changed);
    }
    for (QLineEdit *box : findChildren<QLineEdit *>())
        connect(box, &QLineEdit::textChanged, this, changed);
    for (QSpinBox *box : findChildren<QSpinBox *>())
        connect(box, &QSpinBox::valueChanged, this, changed);
    connect(edSendMessage, &QPlainTextEdit::textChanged, this, changed);

    // Connected after the others, so the apply state is already set when a
    // level pulls the other one along.
    connect(cmbCheckLevel, &QComboBox::currentIndexChanged, this, [this](int check) {
        qint32 report = cmbReportLevel->currentIndex();
        CheckLevelChosen(check, report);
        if (check >= 0 && report != cmbReportLevel->currentIndex())
            cmbReportLevel->setCurrentIndex(report);
    });
    connect(cmbReportLevel, &QComboBox::currentIndexChanged, this, [this](int report) {
        qint32 check = cmbCheckLevel->currentIndex();
        ReportLevelChosen(report, check);
        if (report >= 0 && check != cmbCheckLevel->currentIndex())
            cmbCheckLevel->setCurrentIndex(check);
    });
}

// ---------------------------------------------------------------- commands

void TfmConfig::pbApplyClick()
{
    SaveControls();
    ImageLists().LoadLarge(Settings.Config.SmallIcon);
    if (ReloadImages)
        ReloadImages();
    if (!xmlCheck_()) {
        for (QString *ext : {&Settings.Login.RecordFileExp, &Settings.Logout.RecordFileExp,
                             &Settings.Access.RecordFileExp})
            *ext = RecordExtensionWithoutXml(*ext);
    }
    Applied = true;
    pbOK->setFocus();
    pbApply->setEnabled(false);
}

void TfmConfig::pbOKClick()
{
    pbApplyClick();
    accept();
}

void TfmConfig::WaveTest(QLineEdit *box)
{
    const QString file = box->text();
    if (!file.isEmpty() && QFileInfo(file).isFile()) {
        if (actions_)
            actions_->PlaySoundFile(file, false);
        return;
    }
    QMessageBox::warning(this, AppTitle, NoWaveFileText);
    box->setFocus();
}

void TfmConfig::BrowseWave(QLineEdit *box)
{
    const QString file = QFileDialog::getOpenFileName(this, QString(), box->text(), FileDialogFilters(WaveFilter).join(QStringLiteral(";;")));
    if (!file.isEmpty())
        box->setText(file);
}

void TfmConfig::BrowseProgram(QLineEdit *box)
{
    const QString file = QFileDialog::getOpenFileName(this, QString(), box->text(), FileDialogFilters(ProgramFilter).join(QStringLiteral(";;")));
    if (!file.isEmpty())
        box->setText(file);
}

void TfmConfig::BrowseFolder(RecordGroup &g)
{
    TFolderDialog dialog(this);
    dialog.Message = g.prompt;
    dialog.Folder = g.edRecordFolder->text();
    if (dialog.Execute())
        g.edRecordFolder->setText(RecordFolderText(dialog.Folder));
}
