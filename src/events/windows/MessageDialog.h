#pragma once

// The send-message dialog: a text sent to a list of recipients through the
// messenger's queue. Sending keeps the dialog open (the operator may send
// again once the outcome is shown); only "&Close" or Esc closes it, whether
// or not the sends are over. One dialog exists at a time, and the engine is
// marked busy while it is open.

#include <QDialog>
#include <QPointer>
#include <QStringList>

class MessageQueue;
class QCheckBox;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

class MessageDialog : public QDialog {
    Q_OBJECT

public:
    explicit MessageDialog(MessageQueue &sends, QWidget *owner = nullptr);
    ~MessageDialog() override;

    // The open dialog, if any.
    static MessageDialog *Current();

    // Recipients in the order the text goes to them.
    QStringList Recipients;

    // The message with CR LF line breaks, as the settings and the wire
    // hold it.
    QString MessageText() const;
    void SetMessageText(const QString &text);

    // Shows the dialog modally with WatchBusy set; returns its result. The
    // mark is cleared afterwards only when the dialog took it.
    int Execute();

    // The main window's command: the selected rows' resource names. Nothing
    // is shown without a recipient; an open dialog is brought to the front
    // instead of a second one.
    static void SendToSelected(MessageQueue &sends, QWidget *owner, const QStringList &recipients);
    // The access list's command for one terminal: the greeting text and the
    // automatic-send switch are edited here and kept in the settings record
    // however the dialog closes.
    static void SendToTerminal(MessageQueue &sends, QWidget *owner, const QString &terminal);

    QLabel *lblMsg = nullptr;
    QPlainTextEdit *edMsg = nullptr;
    QCheckBox *cbAutoSend = nullptr;
    QPushButton *pbSend = nullptr;
    QPushButton *pbClose = nullptr;

    // The outcome box of the last send (closed by the operator), shown once
    // every recipient's send is over.
    QPointer<QMessageBox> OutcomeBox;
    // Whether the last send reached its last recipient.
    bool LastSendOk = false;

    void pbSendClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showOutcome(bool ok);

    MessageQueue &sends_;
    int pending_ = 0;  // sends of the last press not over yet
};
