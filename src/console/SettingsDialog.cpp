#include "console/SettingsDialog.h"

#include "config/ConfigRules.h"
#include "config/Settings.h"
#include "console/ConsoleImages.h"
#include "console/FileChooser.h"
#include "console/FolderDialog.h"
#include "console/HelpPages.h"
#include "events/EventActions.h"
#include "events/Messenger.h"
#include "events/RecordFile.h"
#include "events/XmlDocument.h"
#include "platform/ReportDelivery.h"
#include "process/ProcessFlags.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
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

SettingsDialog *current = nullptr;

void enable(std::initializer_list<QWidget *> widgets, bool on)
{
    for (QWidget *w : widgets)
        if (w)
            w->setEnabled(on);
}

} // namespace

SettingsDialog::SettingsDialog(EventActions *actions, QWidget *owner, std::function<bool()> xmlCheck)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      actions_(actions), xmlCheck_(xmlCheck ? std::move(xmlCheck) : std::function<bool()>(&XmlDocument::Available))
{
    current = this;
    setObjectName(QStringLiteral("fmConfig"));
    setWindowTitle(tr("Config"));
    SendTestMail = [](const ProgramSettings::MailSection &mail, const QString &to) {
        const ReportDelivery::TestAnswer answer = ReportDelivery::testMail(
            MailSettingsOf(mail), to, tr("Corvane のテストメール"),
            tr("Corvane の通知ページから送ったテストメールです。管理者への報告はこのサーバーから届きます。"));
        return (answer.delivered ? tr("送信しました: %1") : tr("送信できませんでした: %1")).arg(answer.text);
    };

    pcConfig = new QTabWidget(this);
    pcConfig->setObjectName(QStringLiteral("pcConfig"));
    pcConfig->addTab(BuildBasicPage(), tr("基本"));
    pcConfig->addTab(BuildEventPage(), tr("個別設定"));
    pcConfig->addTab(BuildAllEventPage(), tr("全体設定"));
    pcConfig->addTab(BuildAccessPage(), tr("アクセス"));
    pcConfig->addTab(BuildPingPage(), tr("Ping"));
    pcConfig->addTab(BuildRecordPage(), tr("ログ"));
    pcConfig->addTab(BuildXmlPage(), tr("XML設定"));
    pcConfig->addTab(BuildMailPage(), tr("通知"));
    pcConfig->addTab(BuildIntegrationPage(), tr("連携"));
    // F1 explains the page that is showing.
    setProperty("helpContext", int(HelpConfigFirstPage));
    connect(pcConfig, &QTabWidget::currentChanged, this,
            [this](int page) { setProperty("helpContext", int(page < 0 ? HelpConfig : HelpConfigFirstPage + page)); });

    pbOK = new QPushButton(tr("OK"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setDefault(true);
    pbApply = new QPushButton(tr("適用(&A)"), this);
    pbApply->setObjectName(QStringLiteral("pbApply"));
    pbApply->setAutoDefault(false);
    pbCancel = new QPushButton(tr("キャンセル"), this);
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

    connect(pbOK, &QPushButton::clicked, this, &SettingsDialog::pbOKClick);
    connect(pbApply, &QPushButton::clicked, this, &SettingsDialog::pbApplyClick);
    connect(pbCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The XML engine's state first: the record pages depend on it.
    if (xmlCheck_()) {
        lblMSXML->setText(tr("XML Ready."));
    } else {
        lblMSXML->setText(tr("XML not found."));
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

SettingsDialog::~SettingsDialog()
{
    if (current == this)
        current = nullptr;
}

SettingsDialog *SettingsDialog::Current()
{
    return current;
}

bool SettingsDialog::Execute(EventActions *actions, QWidget *owner, std::function<bool()> xmlCheck)
{
    if (SettingsDialog *open = Current()) {
        open->raise();
        open->activateWindow();
        return false;
    }
    SettingsDialog dialog(actions, owner, std::move(xmlCheck));
    {
        const WatchBusyMark busy;
        dialog.exec();
    }
    return dialog.Applied;
}

// ---------------------------------------------------------------- pages
// ---------------------------------------------------------------- rules

void SettingsDialog::UpdateEnabling()
{
    cbStartCheckMsg->setEnabled(cbStartCheck->isChecked());
    const bool bar = cmbMessageLevel->currentIndex() == NoticeLevel::Bar;
    enable({lblMessageSpeed, cmbMessageSpeed}, bar);
    cbBlinkAlways->setEnabled(cmbBlinkIcon->currentIndex() != BlinkMode::None);

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

void SettingsDialog::UpdateExamples()
{
    const QDate today = QDate::currentDate();
    for (RecordGroup *g : {&LoginRecord, &LogoutRecord, &AccessRecord})
        g->lblExample->setText(
            ExpandRecordName(g->edRecordFile->text() + u'.' + g->edRecordFileExp->text(), today));
}

void SettingsDialog::Changed()
{
    if (!loading_)
        pbApply->setEnabled(true);
}

void SettingsDialog::WatchForChanges()
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

void SettingsDialog::pbApplyClick()
{
    SaveControls();
    SharedImages().LoadLarge(Settings.Config.SmallIcon);
    if (ReloadImages)
        ReloadImages();
    if (!xmlCheck_()) {
        for (QString *ext : {&Settings.Login.RecordFileExp, &Settings.Logout.RecordFileExp,
                             &Settings.Access.RecordFileExp})
            *ext = RecordExtensionWithoutXml(*ext);
    }
    Applied = true;
    MarkSettingsChanged();
    pbOK->setFocus();
    pbApply->setEnabled(false);
}

void SettingsDialog::pbOKClick()
{
    pbApplyClick();
    accept();
}

void SettingsDialog::WaveTest(QLineEdit *box)
{
    const QString file = box->text();
    if (!file.isEmpty() && QFileInfo(file).isFile()) {
        if (actions_)
            actions_->PlaySoundFile(file, false);
        return;
    }
    QMessageBox::warning(this, AppTitle, tr("Waveﾌｧｲﾙが存在しません。"));
    box->setFocus();
}

void SettingsDialog::BrowseWave(QLineEdit *box)
{
    const QString filter = tr("Waveﾌｧｲﾙ(*.wav)|*.wav|すべてのﾌｧｲﾙ(*.*)|*.*");
    const QString file =
        QFileDialog::getOpenFileName(this, QString(), box->text(), FileDialogFilters(filter).join(QStringLiteral(";;")));
    if (!file.isEmpty())
        box->setText(file);
}

void SettingsDialog::BrowseProgram(QLineEdit *box)
{
    const QString filter =
        tr("ｱﾌﾟﾘｹｰｼｮﾝ(*.exe)|*.exe|ｼｮｰﾄｶｯﾄ(*.lnk)|*.lnk|DOSｱﾌﾟﾘｹｰｼｮﾝ(*.pif)|*.pif|すべてのﾌｧｲﾙ(*.*)|*.*");
    const QString file =
        QFileDialog::getOpenFileName(this, QString(), box->text(), FileDialogFilters(filter).join(QStringLiteral(";;")));
    if (!file.isEmpty())
        box->setText(file);
}

void SettingsDialog::BrowseFolder(RecordGroup &g)
{
    FolderDialog dialog(this);
    dialog.Message = g.prompt;
    dialog.Folder = g.edRecordFolder->text();
    if (dialog.Execute())
        g.edRecordFolder->setText(RecordFolderText(dialog.Folder));
}
