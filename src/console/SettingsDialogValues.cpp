// The settings dialog's transfer between the settings record and its
// controls: every setting into its control when the dialog opens, every
// control back into its setting on apply and OK.

#include "console/SettingsDialog.h"

#include "config/ConfigRules.h"
#include "config/Settings.h"
#include "console/FileChooser.h"
#include "process/ProcessFlags.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <system_error>
#include <thread>

namespace {

// [Mail] Security, in the order of the page's list.
const QStringList MailSecurityNames{QStringLiteral("starttls"), QStringLiteral("tls"), QStringLiteral("none")};

// [Config] Language by the entries of the dialog's list.
const QString LanguageValues[] = {QString(), QStringLiteral("ja"), QStringLiteral("en")};

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

} // namespace

void SettingsDialog::LoadControls()
{
    ProgramSettings &s = Settings;
    const ProgramSettings::ConfigSection &c = s.Config;
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
    const QString language = c.Language.trimmed().toLower();
    languageShown_ = language == LanguageValues[1] ? 1 : language == LanguageValues[2] ? 2 : 0;
    cmbLanguage->setCurrentIndex(languageShown_);

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
        g->rbNothing->setChecked(e->Action == AllEventAction::Nothing);
        if (g->rbShutdown)
            g->rbShutdown->setChecked(e->Action == AllEventAction::Shutdown);
        g->rbRun->setChecked(e->Action == AllEventAction::RunProgram);
        g->edActFile->setText(e->ActFile);
        g->cbManagerReport->setChecked(e->ManagerReport);
    }
    AllLogout.rbShutdown->setEnabled(ShutdownAllowed);

    const ProgramSettings::AccessSection &a = s.Access;
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
    udAwayPasses->setValue(std::clamp(s.TCPIP.AwayPasses, 1, 10));
    cbNeighbourCheck->setChecked(s.TCPIP.NeighbourCheck);
    edTcpPorts->setText(s.TCPIP.TcpPorts);

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

    edMailServer->setText(s.Mail.Server);
    udMailPort->setValue(s.Mail.Port >= 1 && s.Mail.Port <= 65535 ? s.Mail.Port : 587);
    cmbMailSecurity->setCurrentIndex(std::max(0, int(MailSecurityNames.indexOf(s.Mail.Security.toLower()))));
    edMailUser->setText(s.Mail.User);
    edMailPassword->setText(s.Mail.Password);
    edMailFrom->setText(s.Mail.From);
    fsMailCAFile->SetFileName(s.Mail.CAFile);

    udWebPort->setValue(s.Web.Port >= 0 && s.Web.Port <= 65535 ? s.Web.Port : 0);
    edWebAddress->setText(s.Web.Address);
    edWebToken->setText(s.Web.Token);
    fsWebCert->SetFileName(s.Web.CertFile);
    fsWebKey->SetFileName(s.Web.KeyFile);
    edMqttBroker->setText(s.Mqtt.Broker);
    udMqttPort->setValue(s.Mqtt.Port >= 1 && s.Mqtt.Port <= 65535 ? s.Mqtt.Port : 1883);
    edMqttTopic->setText(s.Mqtt.Topic);
    edMqttUser->setText(s.Mqtt.User);
    edMqttPassword->setText(s.Mqtt.Password);
    fsMqttCAFile->SetFileName(s.Mqtt.CAFile);
    ShowWebUrl();
}

void SettingsDialog::SaveControls()
{
    ProgramSettings &s = Settings;
    ProgramSettings::ConfigSection &c = s.Config;
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
    if (const int language = cmbLanguage->currentIndex(); language >= 0 && language != languageShown_) {
        c.Language = LanguageValues[language];
        languageShown_ = language;
    }

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
            e->Action = AllEventAction::RunProgram;
        else if (g->rbShutdown && g->rbShutdown->isChecked())
            e->Action = AllEventAction::Shutdown;
        else
            e->Action = AllEventAction::Nothing;
        e->ActFile = g->edActFile->text();
        e->ManagerReport = g->cbManagerReport->isChecked();
    }

    ProgramSettings::AccessSection &a = s.Access;
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
    s.TCPIP.AwayPasses = udAwayPasses->value();
    s.TCPIP.NeighbourCheck = cbNeighbourCheck->isChecked();
    s.TCPIP.TcpPorts = edTcpPorts->text().simplified();

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

    s.Mail = MailValues();
    s.Web.Port = udWebPort->value();
    s.Web.Address = edWebAddress->text().trimmed();
    s.Web.Token = edWebToken->text().trimmed();
    s.Web.CertFile = fsWebCert->FileName();
    s.Web.KeyFile = fsWebKey->FileName();
    s.Mqtt.Broker = edMqttBroker->text().trimmed();
    s.Mqtt.Port = udMqttPort->value();
    s.Mqtt.Topic = edMqttTopic->text().trimmed();
    s.Mqtt.User = edMqttUser->text();
    s.Mqtt.Password = edMqttPassword->text();
    s.Mqtt.CAFile = fsMqttCAFile->FileName();
}

ProgramSettings::MailSection SettingsDialog::MailValues() const
{
    ProgramSettings::MailSection m;
    m.Server = edMailServer->text().trimmed();
    m.Port = udMailPort->value();
    m.Security = MailSecurityNames.value(cmbMailSecurity->currentIndex(), MailSecurityNames.front());
    m.User = edMailUser->text();
    m.Password = edMailPassword->text();
    m.From = edMailFrom->text().trimmed();
    m.CAFile = fsMailCAFile->FileName();
    return m;
}

void SettingsDialog::pbMailTestClick()
{
    const ProgramSettings::MailSection mail = MailValues();
    QString to;
    for (const QString &field : edManager->text().split(u','))
        if (field.trimmed().startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) {
            to = field.trimmed().mid(7);
            break;
        }
    if (to.isEmpty())
        to = mail.From;
    if (to.isEmpty() || mail.Server.isEmpty()) {
        lblMailTest->setText(tr("サーバーと、宛先（管理者端末の mailto:アドレス）か差出人を入れてください。"));
        return;
    }
    const auto send = SendTestMail;
    if (!send) {
        lblMailTest->setText(tr("このプログラムはメールを送れません。"));
        return;
    }
    pbMailTest->setEnabled(false);
    lblMailTest->setText(tr("%1 に送信中...").arg(to));
    QPointer<SettingsDialog> self(this);
    try {
        std::thread([self, send, mail, to] {
            const QString answer = send(mail, to);
            QMetaObject::invokeMethod(qApp, [self, answer] {
                if (!self)
                    return;
                self->lblMailTest->setText(answer);
                self->pbMailTest->setEnabled(true);
            });
        }).detach();
    } catch (const std::system_error &) {
        lblMailTest->setText(tr("このプログラムはメールを送れません。"));
        pbMailTest->setEnabled(true);
    }
}
