#include "console/AddEntriesDialog.h"
#include "console/EntryDialog.h"
#include "console/ListEditorRules.h"

#include "platform/Cp932.h"
#include "process/ProcessFlags.h"

#include "support/ModalAnswers.h"

#include <QCheckBox>
#include "console/IconComboBox.h"
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

WatchEntry terminal()
{
    WatchEntry e;
    e.UserName = QStringLiteral("田中");
    e.ResourceName = QStringLiteral("PC01");
    e.LoginAction = QStringLiteral("in.wav");
    e.LogoutAction = QStringLiteral("out.wav");
    e.Kind = KindThird;
    return e;
}

// Presses OK with the given IP text and says whether the dialog accepted,
// with the messages it showed.
bool okWithAddress(EntryDialog &dialog, const QString &address, QStringList &messages)
{
    dialog.edIP->setText(address);
    dialog.setResult(0);
    BoxAnswers boxes;
    dialog.pbOKClick();
    messages = boxes.Texts;
    return dialog.result() == QDialog::Accepted;
}

TEST(EntryDialog, AddressesAreCheckedAndPadded)
{
    EntryDialog dialog(EntryDialog::umTerminal);
    dialog.SetEntry(terminal());
    QStringList messages;
    const QString invalid = QStringLiteral("有効なIPアドレスを入力してください。");

    EXPECT_TRUE(okWithAddress(dialog, QStringLiteral("10.0.0.1"), messages));
    EXPECT_EQ(dialog.edIP->text(), QStringLiteral(" 10.  0.  0.  1"));
    EXPECT_TRUE(messages.isEmpty());

    for (const QString &bad : {QStringLiteral("10.0.0"), QStringLiteral("10.0.0.1.5"), QStringLiteral("1a.0.0.1")}) {
        EXPECT_FALSE(okWithAddress(dialog, bad, messages)) << bad.toStdString();
        EXPECT_EQ(messages, QStringList{invalid}) << bad.toStdString();
        EXPECT_EQ(dialog.edIP->text(), bad) << "a refused text stays as typed";
    }

    EXPECT_TRUE(okWithAddress(dialog, QString(), messages));
    EXPECT_TRUE(okWithAddress(dialog, QStringLiteral("999.1.1.1"), messages));
    EXPECT_EQ(dialog.edIP->text(), QStringLiteral("999.  1.  1.  1"));
}

TEST(EntryDialog, EveryFailingCheckIsReportedInOrder)
{
    EntryDialog dialog(EntryDialog::umIPEntry);
    dialog.SetEntry(WatchEntry{});
    dialog.edResource->setText(SeparatorText);
    dialog.edIP->setText(QStringLiteral("x"));
    {
        BoxAnswers boxes;
        EXPECT_FALSE(dialog.CheckInput());
        EXPECT_EQ(boxes.Texts, (QStringList{QStringLiteral("このリソース名は使えません。"),
                                            QStringLiteral("有効なIPアドレスを入力してください。"),
                                            QStringLiteral("この端末に対するﾕｰｻﾞｰ名を入力して下さい。")}));
        EXPECT_EQ(boxes.Titles.value(0), AppTitle);
        EXPECT_EQ(boxes.Icons.value(0), QMessageBox::Warning);
    }

    dialog.edResource->clear();
    dialog.edIP->clear();
    dialog.edUser->setText(QStringLiteral("A"));
    BoxAnswers second;
    EXPECT_FALSE(dialog.CheckInput());
    EXPECT_EQ(second.Texts, QStringList{QStringLiteral("ﾘｿｰｽ名、若しくはIPを入力して下さい。")});
}

TEST(EntryDialog, ModesShapeTheDialog)
{
    EntryDialog ip(EntryDialog::umIPEntry);
    EXPECT_EQ(ip.windowTitle(), QStringLiteral("Entry User Name"));
    EXPECT_FALSE(ip.edResource->isReadOnly());
    EXPECT_FALSE(ip.cbIPCheck->isEnabled());
    EXPECT_TRUE(ip.cbIPCheck->isChecked());
    ip.edResource->setFocus();
    emit ip.edResource->textEdited(QStringLiteral("pc9"));
    EXPECT_EQ(ip.edResource->text(), QStringLiteral("PC9"));

    EntryDialog term(EntryDialog::umTerminal);
    term.SetEntry(terminal());
    EXPECT_TRUE(term.edResource->isReadOnly());
    EXPECT_EQ(term.edResource->text(), QStringLiteral("PC01"));
    EXPECT_EQ(term.cmbIcon->currentText(), QStringLiteral("12"));
    EXPECT_EQ(term.lblUser->text(), QStringLiteral("この端末に対するﾕｰｻﾞｰ名を入力して下さい。(&U)"));
    QStringList items;
    for (int i = 0; i < term.cmbIcon->count(); ++i)
        items << term.cmbIcon->itemText(i);
    EXPECT_EQ(items, (QStringList{QStringLiteral("00"), QStringLiteral("09"), QStringLiteral("12"), QStringLiteral("15")}));
    WatchEntry odd = terminal();
    odd.Kind = IconKind(5);
    term.SetEntry(odd);
    EXPECT_EQ(term.cmbIcon->currentText(), QStringLiteral("00")) << "an unknown kind preselects the first";

    EntryDialog sep(EntryDialog::umSeparator);
    EXPECT_EQ(sep.windowTitle(), QStringLiteral("Entry Separator Name"));
    EXPECT_EQ(sep.edResource->text(), QStringLiteral("セパレータ"));
    EXPECT_FALSE(sep.edLogin->isEnabled());
    EXPECT_FALSE(sep.edIP->isEnabled());
    EXPECT_FALSE(sep.cbIPCheck->isEnabled());
    EXPECT_EQ(sep.cmbIcon->currentText(), QStringLiteral("08"));
}

TEST(EntryDialog, SeparatorKeepsItsDashes)
{
    WatchEntry e;
    e.UserName = QStringLiteral("---------------------");
    e.ResourceName = SeparatorText;
    e.LoginAction = e.LogoutAction = e.Address = SeparatorText;
    e.Kind = KindSeparator;
    EntryDialog dialog(EntryDialog::umSeparator);
    dialog.SetEntry(e);
    dialog.edUser->setText(QStringLiteral("営業部"));
    BoxAnswers boxes;
    dialog.pbOKClick();
    EXPECT_TRUE(boxes.Texts.isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    dialog.GetEntry(e);
    EXPECT_EQ(e.UserName, QStringLiteral("営業部"));
    EXPECT_EQ(e.LoginAction, SeparatorText);
    EXPECT_EQ(e.LogoutAction, SeparatorText);
    EXPECT_EQ(e.Address, SeparatorText);
    EXPECT_EQ(e.Kind, KindSeparator);
}

TEST(EntryDialog, EntryComesBackWithTheChosenIcon)
{
    EntryDialog dialog(EntryDialog::umTerminal);
    dialog.SetEntry(terminal());
    dialog.cmbIcon->setCurrentIndex(3);
    dialog.edLogin->setText(QStringLiteral("\"/opt/a b/run\""));
    dialog.cbIPCheck->setChecked(true);
    WatchEntry e = terminal();
    e.ResourceName = QStringLiteral("KEEP");
    dialog.GetEntry(e);
    EXPECT_EQ(e.Kind, KindFourth);
    EXPECT_EQ(e.ResourceName, QStringLiteral("KEEP")) << "a terminal's name is not the dialog's to change";
    EXPECT_EQ(e.LoginAction, QStringLiteral("\"/opt/a b/run\""));
    EXPECT_TRUE(e.IPCheck);
}

TEST(AddEntriesDialog, ModesAndDefaults)
{
    AddEntriesDialog group(QStringLiteral("WORKGROUP"));
    EXPECT_EQ(group.windowTitle(), QStringLiteral("Addition Setting"));
    EXPECT_EQ(group.lblName->text(), QStringLiteral("WORKGROUP"));
    EXPECT_EQ(group.lblText->text(), QStringLiteral("に所属する端末をすべて追加します"));
    EXPECT_FALSE(group.Manual());
    EXPECT_FALSE(group.UseTerminalName());
    EXPECT_TRUE(group.IPCheck());
    group.rbManual->setChecked(true);
    EXPECT_FALSE(group.gbUser->isEnabled());
    EXPECT_FALSE(group.cbIPCheck->isEnabled());
    group.rbAuto->setChecked(true);
    EXPECT_TRUE(group.gbUser->isEnabled());

    AddEntriesDialog drop(QString{});
    EXPECT_EQ(drop.lblText->text(), QStringLiteral("Dropされた端末をすべて追加します"));
}

TEST(ListEditorRules, NodeTextsAreLaidOutInBytes)
{
    EXPECT_EQ(ComputerNodeText(QStringLiteral("PC01"), QStringLiteral("受付"), false),
              QStringLiteral("PC01             受付"));
    const QString first = ComputerNodeText(QStringLiteral("PC01"), QStringLiteral("受付"), true);
    EXPECT_EQ(Cp932::byteLength(first), 54);
    EXPECT_TRUE(first.startsWith(QStringLiteral("受付 ")));
    EXPECT_TRUE(first.endsWith(QStringLiteral("PC01")));
    EXPECT_EQ(ComputerNodeText(QStringLiteral("PC01"), QString(), true), QStringLiteral("PC01"));
    // Half-width katakana take one byte each.
    EXPECT_EQ(Cp932::byteLength(ComputerNodeText(QStringLiteral("PC01"), QStringLiteral("ｳｹﾂｹ"), true)), 54);

    QString resource, user;
    for (bool commentFirst : {false, true}) {
        ParseComputerNodeText(ComputerNodeText(QStringLiteral("PC01"), QStringLiteral("受付の端末"), commentFirst),
                              commentFirst, resource, user);
        EXPECT_EQ(resource, QStringLiteral("PC01"));
        EXPECT_EQ(user, QStringLiteral("受付の端末"));
        ParseComputerNodeText(ComputerNodeText(QStringLiteral("PC02"), QString(), commentFirst), commentFirst,
                              resource, user);
        EXPECT_EQ(resource, QStringLiteral("PC02"));
        EXPECT_EQ(user, QStringLiteral("PC02")) << "no comment: the name is the user name";
    }
    // Names of the full fifteen bytes, and a comment cut at its 48th byte
    // without splitting a double-byte character.
    const QString longComment = QString(30, QChar(u'漢'));
    ParseComputerNodeText(ComputerNodeText(QStringLiteral("ABCDEFGHIJKLMNO"), longComment, false), false, resource,
                          user);
    EXPECT_EQ(resource, QStringLiteral("ABCDEFGHIJKLMNO"));
    EXPECT_EQ(user, QString(24, QChar(u'漢')));
    EXPECT_EQ(ByteColumns(QStringLiteral("ab漢cd"), 3, 3), QString()) << "half a character is no character";
    EXPECT_EQ(ByteColumns(QStringLiteral("ab漢cd"), 3, 5), QStringLiteral("漢c"));

    EXPECT_EQ(ActionFileText(QStringLiteral("/snd/a b.wav")), QStringLiteral("\"/snd/a b.wav\""));
    EXPECT_EQ(ActionFileText(QStringLiteral("/snd/ab.wav")), QStringLiteral("/snd/ab.wav"));
}

} // namespace
