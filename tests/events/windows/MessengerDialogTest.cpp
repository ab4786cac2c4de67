#include "config/Settings.h"
#include "events/MessageQueue.h"
#include "events/Messenger.h"
#include "events/windows/MessageDialog.h"
#include "platform/MessageTransport.h"
#include "process/ProcessFlags.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct RecordingTransport : MessageTransport {
    bool Result = true;
    QStringList Sent;
    bool Available() override { return true; }
    bool Send(const QString &recipient, const QString &, const QString &text) override
    {
        Sent << recipient + QLatin1Char('|') + text;
        return Result;
    }
};

struct NoMailslot : MailslotTransport {
    bool Write(const QByteArray &, const QByteArray &) override { return false; }
};

class MessengerDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = ProgramSettings();
        WatchBusy = false;
        messenger.Family = [] { return 2; };
    }

    // Runs f once the modal dialog is up (bounded: the dialog is closed
    // after a few seconds whatever happens).
    void whenOpen(std::function<void(MessageDialog *)> f)
    {
        QTimer::singleShot(0, [f] {
            if (MessageDialog *d = MessageDialog::Current()) {
                f(d);
                if (d->isVisible())
                    d->reject();
            }
        });
        QTimer::singleShot(5000, [] {
            if (MessageDialog *d = MessageDialog::Current())
                d->reject();
        });
    }

    RecordingTransport transport;
    NoMailslot mailslot;
    Messenger messenger{transport, mailslot, [] { return QStringLiteral("ME"); }};
    MessageQueue sends{messenger};
};

} // namespace

TEST_F(MessengerDialogTest, ControlsAndTexts)
{
    MessageDialog dialog(sends);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Send Message"));
    EXPECT_EQ(dialog.property("helpContext").toInt(), 110);
    EXPECT_EQ(dialog.cbAutoSend->text(), QStringLiteral("ﾒｯｾｰｼﾞを自動的に送信する(&A)"));
    EXPECT_EQ(dialog.pbSend->text(), QStringLiteral("送信(&S)"));
    EXPECT_EQ(dialog.pbClose->text(), QStringLiteral("&Close"));
    EXPECT_TRUE(dialog.pbSend->isDefault());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(MessageDialog::Current(), &dialog);
}

TEST_F(MessengerDialogTest, SendingKeepsTheDialogOpenAndReportsTheOutcome)
{
    MessageDialog dialog(sends);
    dialog.Recipients = {QStringLiteral("PC01"), QStringLiteral("PC02")};
    dialog.show();
    dialog.SetMessageText(QStringLiteral("一行目\r\n二行目"));
    dialog.pbSend->click();
    // The sends go on off the main thread; the outcome comes when both are over.
    EXPECT_FALSE(dialog.pbSend->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !dialog.OutcomeBox.isNull(); }));
    EXPECT_TRUE(dialog.pbSend->isEnabled());
    EXPECT_EQ(transport.Sent, (QStringList{QStringLiteral("PC01|一行目\r\n二行目"), QStringLiteral("PC02|一行目\r\n二行目")}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.OutcomeBox->text(), QStringLiteral("メッセージを送信しました。"));
    EXPECT_EQ(dialog.OutcomeBox->icon(), QMessageBox::Information);
    EXPECT_EQ(dialog.OutcomeBox->windowTitle(), AppTitle);

    // The second press sends again; the last send's outcome is shown.
    transport.Result = false;
    dialog.OutcomeBox->close();
    dialog.pbSend->click();
    ASSERT_TRUE(WaitFor([&] { return dialog.pbSend->isEnabled(); }));
    ASSERT_TRUE(dialog.OutcomeBox);
    EXPECT_EQ(transport.Sent.size(), 4);
    EXPECT_EQ(dialog.OutcomeBox->text(), QStringLiteral("メッセージを送信できませんでした。"));
    EXPECT_EQ(dialog.OutcomeBox->icon(), QMessageBox::Warning);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MessengerDialogTest, CloseAndEscSendNothing)
{
    MessageDialog dialog(sends);
    dialog.Recipients = {QStringLiteral("PC01")};
    dialog.show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &esc);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.show();
    dialog.pbClose->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(transport.Sent.isEmpty());
}

TEST_F(MessengerDialogTest, FromTheAccessListTheGreetingIsEditedInTheSettings)
{
    Settings.Messenger.SendMessage = QStringLiteral("ようこそ\r\n");
    Settings.Messenger.AutoSend = false;
    bool sawBusy = false;
    QString caption, preset;
    bool checkVisible = false;
    whenOpen([&](MessageDialog *d) {
        sawBusy = WatchBusy;
        caption = d->windowTitle();
        preset = d->MessageText();
        checkVisible = d->cbAutoSend->isVisible();
        d->SetMessageText(QStringLiteral("いらっしゃい\r\nどうぞ"));
        d->cbAutoSend->setChecked(true);
        // A second opener brings this one forward instead.
        MessageDialog::SendToTerminal(sends, nullptr, QStringLiteral("PC09"));
        EXPECT_EQ(MessageDialog::Current(), d);
        d->pbClose->click();
    });
    MessageDialog::SendToTerminal(sends, nullptr, QStringLiteral("PC01"));
    EXPECT_TRUE(sawBusy);
    EXPECT_FALSE(WatchBusy);
    EXPECT_EQ(caption, QStringLiteral("Send Message to PC01"));
    EXPECT_EQ(preset, QStringLiteral("ようこそ\r\n"));
    EXPECT_TRUE(checkVisible);
    EXPECT_EQ(Settings.Messenger.SendMessage, QStringLiteral("いらっしゃい\r\nどうぞ"));
    EXPECT_TRUE(Settings.Messenger.AutoSend);
    EXPECT_EQ(MessageDialog::Current(), nullptr);
    EXPECT_TRUE(transport.Sent.isEmpty());
}

TEST_F(MessengerDialogTest, FromTheMainWindowTheSelectedTerminalsAreTheRecipients)
{
    // Nothing selected: no dialog at all.
    bool opened = false;
    whenOpen([&](MessageDialog *) { opened = true; });
    MessageDialog::SendToSelected(sends, nullptr, {});
    QApplication::processEvents();
    EXPECT_FALSE(opened);

    QString caption;
    bool checkVisible = true;
    whenOpen([&](MessageDialog *d) {
        caption = d->windowTitle();
        checkVisible = d->cbAutoSend->isVisible();
        EXPECT_TRUE(d->MessageText().isEmpty());
        d->SetMessageText(QStringLiteral("hello"));
        d->pbSend->click();
        if (d->OutcomeBox)
            d->OutcomeBox->close();
        d->pbClose->click();
    });
    MessageDialog::SendToSelected(sends, nullptr, {QStringLiteral("PC01"), QStringLiteral("PC02")});
    ASSERT_TRUE(WaitFor([&] { return sends.Idle(); }));
    EXPECT_EQ(caption, QStringLiteral("Send Message"));
    EXPECT_FALSE(checkVisible);
    EXPECT_EQ(transport.Sent, (QStringList{QStringLiteral("PC01|hello"), QStringLiteral("PC02|hello")}));
    EXPECT_EQ(Settings.Messenger.SendMessage, QString());
}

TEST_F(MessengerDialogTest, ClosingLeavesTheBusyMarkToWhoeverHeldItBefore)
{
    // Opened during a pass: the pass is still running when the dialog closes.
    WatchBusy = true;
    whenOpen([](MessageDialog *d) { d->pbClose->click(); });
    MessageDialog::SendToSelected(sends, nullptr, {QStringLiteral("PC01")});
    EXPECT_TRUE(WatchBusy);

    // The pass ends while the dialog is open: closing it marks nothing busy again.
    whenOpen([](MessageDialog *d) {
        WatchBusy = false;
        d->pbClose->click();
    });
    MessageDialog::SendToSelected(sends, nullptr, {QStringLiteral("PC01")});
    EXPECT_FALSE(WatchBusy);
}
