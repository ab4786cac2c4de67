#include "events/windows/MessageDialog.h"

#include "config/Settings.h"
#include "events/MessageQueue.h"
#include "process/ProcessFlags.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

MessageDialog *current = nullptr;

void bringToFront(MessageDialog *dialog)
{
    dialog->raise();
    dialog->activateWindow();
    dialog->edMsg->setFocus();
}

} // namespace

MessageDialog::MessageDialog(MessageQueue &sends, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), sends_(sends)
{
    current = this;
    setWindowTitle(QStringLiteral("Send Message"));
    setProperty("helpContext", 110);

    lblMsg = new QLabel(tr("ﾒｯｾｰｼﾞ"), this);
    edMsg = new QPlainTextEdit(this);
    edMsg->setObjectName(QStringLiteral("edMsg"));
    edMsg->setTabChangesFocus(true);
    edMsg->setFixedSize(320, 110);
    lblMsg->setBuddy(edMsg);
    cbAutoSend = new QCheckBox(tr("ﾒｯｾｰｼﾞを自動的に送信する(&A)"), this);
    cbAutoSend->setObjectName(QStringLiteral("cbAutoSend"));
    pbSend = new QPushButton(tr("送信(&S)"), this);
    pbSend->setObjectName(QStringLiteral("pbSend"));
    pbSend->setDefault(true);
    pbClose = new QPushButton(QStringLiteral("&Close"), this);
    pbClose->setObjectName(QStringLiteral("pbClose"));
    pbClose->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cbAutoSend);
    buttons->addStretch();
    buttons->addWidget(pbSend);
    buttons->addWidget(pbClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblMsg);
    layout->addWidget(edMsg);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(pbSend, &QPushButton::clicked, this, &MessageDialog::pbSendClick);
    // Esc rejects through QDialog, as the close button does.
    connect(pbClose, &QPushButton::clicked, this, &QDialog::reject);
}

MessageDialog::~MessageDialog()
{
    if (current == this)
        current = nullptr;
}

MessageDialog *MessageDialog::Current()
{
    return current;
}

QString MessageDialog::MessageText() const
{
    return edMsg->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

void MessageDialog::SetMessageText(const QString &text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    edMsg->setPlainText(plain);
}

void MessageDialog::showEvent(QShowEvent *event)
{
    pbSend->setEnabled(true);
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void MessageDialog::pbSendClick()
{
    // Sending never closes the dialog: the same text may go out again, once
    // the outcome of this press is known.
    const QString text = MessageText();
    if (OutcomeBox)
        OutcomeBox->close();
    OutcomeBox.clear();  // the box goes later; this press's outcome is another
    if (Recipients.isEmpty()) {
        showOutcome(false);
        return;
    }
    pbSend->setEnabled(false);
    pending_ = int(Recipients.size());
    for (qsizetype i = 0; i < Recipients.size(); ++i) {
        const bool last = i + 1 == Recipients.size();
        sends_.Send(Recipients[i], text, this, [this, last](bool ok) {
            if (last)
                LastSendOk = ok;
            if (--pending_ == 0)
                showOutcome(LastSendOk);
        });
    }
}

void MessageDialog::showOutcome(bool ok)
{
    LastSendOk = ok;
    pbSend->setEnabled(true);
    if (OutcomeBox)
        OutcomeBox->close();
    OutcomeBox = ok ? new QMessageBox(QMessageBox::Information, AppTitle, tr("メッセージを送信しました。"),
                                      QMessageBox::Ok, this)
                    : new QMessageBox(QMessageBox::Warning, AppTitle,
                                      tr("メッセージを送信できませんでした。"), QMessageBox::Ok, this);
    OutcomeBox->setAttribute(Qt::WA_DeleteOnClose);
    OutcomeBox->open();
}

int MessageDialog::Execute()
{
    // The dialog may open during a pass: then the mark is the pass's, and
    // only the pass's end gives it back. Clearing it here would let access
    // scans and probe commands run beside the worker; setting it again
    // after a pass that ended meanwhile would keep every timer idle.
    const WatchBusyMark busy;
    return exec();
}

void MessageDialog::SendToSelected(MessageQueue &sends, QWidget *owner, const QStringList &recipients)
{
    if (recipients.isEmpty())
        return;
    if (MessageDialog *open = Current()) {
        bringToFront(open);
        return;
    }
    MessageDialog dialog(sends, owner);
    dialog.Recipients = recipients;
    dialog.cbAutoSend->hide();
    dialog.Execute();
}

void MessageDialog::SendToTerminal(MessageQueue &sends, QWidget *owner, const QString &terminal)
{
    if (terminal.isEmpty())
        return;
    if (MessageDialog *open = Current()) {
        bringToFront(open);
        return;
    }
    MessageDialog dialog(sends, owner);
    dialog.Recipients = QStringList{terminal};
    dialog.setWindowTitle(QStringLiteral("Send Message to ") + terminal);
    dialog.SetMessageText(Settings.Messenger.SendMessage);
    dialog.cbAutoSend->setChecked(Settings.Messenger.AutoSend);
    dialog.Execute();
    Settings.Messenger.SendMessage = dialog.MessageText();
    Settings.Messenger.AutoSend = dialog.cbAutoSend->isChecked();
    MarkSettingsChanged();
}
