#include "console/ListEditor.h"

#include "config/Settings.h"
#include "console/AddEntriesDialog.h"
#include "console/EntryDialog.h"
#include "console/PropertiesDialog.h"
#include "console/WatchListView.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"
#include "platform/FixtureNetBrowser.h"
#include "process/ProcessFlags.h"
#include "support/TempDir.h"

#include "support/ModalAnswers.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include "console/IconComboBox.h"
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QByteArray Network = Cp932::encode(QStringLiteral("Microsoft Windows Network\n"
                                                        "  WORKGROUP\n"
                                                        "    PC01;comment=受付\n"
                                                        "    PC02;comment=経理\n"
                                                        "    PC03\n"
                                                        "  SALES\n"
                                                        "    S01;comment=営業\n"
                                                        "  BROKEN;open=1222\n"));

WatchEntry watched(const QString &resource, const QString &user)
{
    WatchEntry e;
    e.ResourceName = resource;
    e.UserName = user;
    e.Domain = QStringLiteral("WORKGROUP");
    e.Provider = SmbProviderName;
    e.State = StateUnconfirmed;
    e.StatusText = StatusUnconfirmed;
    e.ImageIndex = 2;
    return e;
}

class ListEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = ProgramSettings{};
        Settings.Krovan.ListMode = 4;
        Settings.EditWnd.ColWidth = QStringLiteral("50,50,50,50,50,50,50,50,50,0,0");
        Settings.EditWnd.Split = 272;
        Settings.EditWnd.Size = QStringLiteral("E,E");
        Settings.EditWnd.Pos = QStringLiteral("E,E");
        Settings.EditWnd.LoginFile = QStringLiteral("in.wav");
        Settings.EditWnd.LogoutFile = QStringLiteral("out.wav");
        WatchBusy = false;
        ASSERT_TRUE(dir.write(QStringLiteral("net.txt"), Network));
        net = std::make_unique<FixtureNetBrowser>(dir.path(QStringLiteral("net.txt")));
    }

    // The root expanded down to a workgroup's node.
    QTreeWidgetItem *workgroup(ListEditor &editor, const QString &name)
    {
        QTreeWidgetItem *root = editor.RootNode();
        editor.ExpandNode(root);
        if (root->childCount() == 0)
            return nullptr;
        QTreeWidgetItem *provider = root->child(0);
        editor.ExpandNode(provider);
        for (int i = 0; i < provider->childCount(); ++i)
            if (provider->child(i)->text(0) == name)
                return provider->child(i);
        return nullptr;
    }

    static QTreeWidgetItem *child(QTreeWidgetItem *node, const QString &prefix)
    {
        for (int i = 0; node && i < node->childCount(); ++i)
            if (node->child(i)->text(0).startsWith(prefix))
                return node->child(i);
        return nullptr;
    }

    static QStringList column(const WatchListModel &list, int c)
    {
        QStringList out;
        for (int row = 0; row < list.rowCount(); ++row)
            out << list.text(row, c);
        return out;
    }

    TempDir dir;
    std::unique_ptr<FixtureNetBrowser> net;
    WatchListModel main;
};

TEST_F(ListEditorTest, OpeningClearsWhatAPassFoundAndKeepsTheMainList)
{
    WatchEntry found = watched(QStringLiteral("*HOST9"), QStringLiteral("IP"));
    found.Address = QStringLiteral("*10.0.0.9");
    found.Result = QStringLiteral("Success");
    found.FileOrder = 7;
    found.IPCheck = true;
    AddEntry(found, main);
    AddEntry(watched(QStringLiteral("PC01"), QStringLiteral("受付")), main);

    ListEditor editor(main, *net, nullptr);
    ASSERT_EQ(editor.List->rowCount(), 2);
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColResourceName), QString());
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColAddress), QString());
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColResult), QString());
    EXPECT_EQ(DataWordFileOrder(editor.List->dataWord(0)), 0);
    EXPECT_EQ(DataWordState(editor.List->dataWord(0)), StateUnconfirmed);
    EXPECT_EQ(main.text(0, WatchListModel::ColResourceName), QStringLiteral("*HOST9"));
    EXPECT_EQ(DataWordFileOrder(main.dataWord(0)), 7);

    EXPECT_EQ(editor.edLoginFile->text(), QStringLiteral("in.wav"));
    EXPECT_EQ(editor.ListMode, 4);
    EXPECT_EQ(editor.tvNetWk->currentItem(), editor.RootNode());
    EXPECT_EQ(ListEditor::NodeImageOf(editor.RootNode()), 7);
    EXPECT_FALSE(editor.pbAdd->isEnabled());
    EXPECT_EQ(editor.lvRes2->Header()->sectionSize(WatchListModel::ColResult), 0);
    EXPECT_EQ(editor.lvRes2->Header()->sectionSize(WatchListModel::ColMAC), 0);
}

TEST_F(ListEditorTest, TreeShowsTheNetworkWithItsKinds)
{
    AddEntry(watched(QStringLiteral("PC02"), QStringLiteral("経理")), main);
    ListEditor editor(main, *net, nullptr);
    QTreeWidgetItem *wg = workgroup(editor, QStringLiteral("WORKGROUP"));
    ASSERT_NE(wg, nullptr);
    EXPECT_EQ(ListEditor::NodeImageOf(editor.RootNode()->child(0)), 7);
    EXPECT_EQ(editor.RootNode()->child(0)->text(0), SmbProviderName);
    EXPECT_EQ(ListEditor::NodeImageOf(wg), 5);
    editor.ExpandNode(wg);
    ASSERT_EQ(wg->childCount(), 3);
    EXPECT_EQ(wg->child(0)->text(0), QStringLiteral("PC01             受付"));
    EXPECT_EQ(wg->child(2)->text(0), QStringLiteral("PC03             "));
    EXPECT_EQ(ListEditor::NodeImageOf(wg->child(0)), 0);
    EXPECT_EQ(ListEditor::NodeImageOf(wg->child(1)), 18) << "already watched";

    // A workgroup the network will not open stays empty.
    QTreeWidgetItem *broken = child(editor.RootNode()->child(0), QStringLiteral("BROKEN"));
    ASSERT_NE(broken, nullptr);
    editor.ExpandNode(broken);
    EXPECT_EQ(broken->childCount(), 0);

    // Comment first: the tree is read again in the other form.
    editor.cbCommentPrior->setChecked(true);
    EXPECT_EQ(editor.RootNode()->childCount(), 0);
    wg = workgroup(editor, QStringLiteral("WORKGROUP"));
    editor.ExpandNode(wg);
    EXPECT_EQ(Cp932::byteLength(wg->child(0)->text(0)), 54);
    EXPECT_TRUE(wg->child(0)->text(0).endsWith(QStringLiteral("PC01")));
    EXPECT_EQ(wg->child(2)->text(0), QStringLiteral("PC03"));
}

// The tree is drawn in the desktop's font, not a typewriter's, and a
// computer's comment is never cut.
TEST_F(ListEditorTest, TreeColumnsLineUpInTheDesktopFontWithWholeComments)
{
    ListEditor editor(main, *net, nullptr);
    QTreeWidgetItem *wg = workgroup(editor, QStringLiteral("WORKGROUP"));
    ASSERT_NE(wg, nullptr);
    editor.ExpandNode(wg);
    ASSERT_EQ(wg->childCount(), 3);
    EXPECT_FALSE(QFontInfo(editor.tvNetWk->font()).fixedPitch());
    QAbstractItemDelegate *delegate = editor.tvNetWk->itemDelegate();
    QStyleOptionViewItem option;
    option.initFrom(editor.tvNetWk);
    const QFontMetrics metrics(editor.tvNetWk->font());
    const QModelIndex pc01 = editor.tvNetWk->indexFromItem(wg->child(0));
    ASSERT_EQ(pc01.data().toString(), QStringLiteral("PC01             受付"));
    EXPECT_GE(delegate->sizeHint(option, pc01).width(),
              metrics.horizontalAdvance(QStringLiteral("PC01")) + metrics.horizontalAdvance(QStringLiteral("受付")));
}

TEST_F(ListEditorTest, WorkgroupAddedAutomatically)
{
    AddEntry(watched(QStringLiteral("PC02"), QStringLiteral("経理")), main);
    ListEditor editor(main, *net, nullptr);
    QTreeWidgetItem *wg = workgroup(editor, QStringLiteral("WORKGROUP"));
    editor.tvNetWk->setCurrentItem(wg);
    EXPECT_TRUE(editor.pbAdd->isEnabled());
    ModalAnswers<AddEntriesDialog> addSet([](AddEntriesDialog *d) {
        EXPECT_EQ(d->lblName->text(), QStringLiteral("WORKGROUP"));
        d->cbIPCheck->setChecked(false);
        d->pbOK->click();
    });
    editor.pbAddClick();
    EXPECT_EQ(addSet.Count, 1);
    ASSERT_EQ(editor.List->rowCount(), 3);
    EXPECT_EQ(column(*editor.List, WatchListModel::ColResourceName),
              (QStringList{QStringLiteral("PC02"), QStringLiteral("PC01"), QStringLiteral("PC03")}));
    EXPECT_EQ(column(*editor.List, WatchListModel::ColUserName),
              (QStringList{QStringLiteral("経理"), QStringLiteral("受付"), QStringLiteral("PC03")}));
    WatchEntry e;
    ASSERT_TRUE(ReadEntry(*editor.List, 1, e));
    EXPECT_EQ(e.Domain, QStringLiteral("WORKGROUP"));
    EXPECT_EQ(e.Provider, SmbProviderName);
    EXPECT_EQ(e.StatusText, StatusLoggedIn);
    EXPECT_EQ(e.LoginAction, QStringLiteral("in.wav"));
    EXPECT_FALSE(e.IPCheck);
    EXPECT_EQ(e.ImageIndex, 0);
    for (int i = 0; i < wg->childCount(); ++i)
        EXPECT_EQ(ListEditor::NodeImageOf(wg->child(i)), 18);

    // Every computer is watched now: nothing to add.
    BoxAnswers boxes;
    editor.pbAddClick();
    EXPECT_EQ(boxes.Texts, QStringList{QStringLiteral("追加する端末はありません。")});
    EXPECT_EQ(boxes.Titles.value(0), AppTitle);
    EXPECT_EQ(editor.List->rowCount(), 3);
}

TEST_F(ListEditorTest, ManualGroupAddAsksBeforeGoingOn)
{
    ListEditor editor(main, *net, nullptr);
    QTreeWidgetItem *wg = workgroup(editor, QStringLiteral("WORKGROUP"));
    editor.tvNetWk->setCurrentItem(wg);
    ModalAnswers<AddEntriesDialog> addSet([](AddEntriesDialog *d) {
        d->rbManual->setChecked(true);
        d->pbOK->click();
    });
    // The first is cancelled (go on: Yes), the second taken with another
    // name, the third cancelled (go on: no question, nothing follows).
    int shown = 0;
    ModalAnswers<EntryDialog> user([&](EntryDialog *d) {
        ++shown;
        if (shown == 2) {
            d->edUser->setText(QStringLiteral("経理の人"));
            d->edLogin->setText(QStringLiteral("hello.wav"));
            d->pbOK->click();
        } else {
            d->pbCancel->click();
        }
    });
    BoxAnswers boxes({QMessageBox::Yes});
    editor.pbAddClick();
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(boxes.Texts, QStringList{QStringLiteral("追加処理を続行しますか？")});
    ASSERT_EQ(editor.List->rowCount(), 1);
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColUserName), QStringLiteral("経理の人"));
    EXPECT_EQ(editor.edLoginFile->text(), QStringLiteral("hello.wav")) << "the dialog's actions go back into the box";
    EXPECT_EQ(ListEditor::NodeImageOf(wg->child(0)), 0);
    EXPECT_EQ(ListEditor::NodeImageOf(wg->child(1)), 18);
}

TEST_F(ListEditorTest, SingleComputerTakesItsWorkgroupAndRemovingFreesIt)
{
    ListEditor editor(main, *net, nullptr);
    QTreeWidgetItem *wg = workgroup(editor, QStringLiteral("SALES"));
    editor.ExpandNode(wg);
    QTreeWidgetItem *s01 = wg->child(0);
    editor.tvNetWk->setCurrentItem(s01);
    {
        ModalAnswers<EntryDialog> cancel([](EntryDialog *d) { d->pbCancel->click(); });
        BoxAnswers boxes;
        editor.pbAddClick();
        EXPECT_EQ(cancel.Count, 1);
        EXPECT_TRUE(boxes.Texts.isEmpty()) << "the operator's Cancel needs no message";
        EXPECT_EQ(editor.List->rowCount(), 0);
    }
    ModalAnswers<EntryDialog> ok([](EntryDialog *d) {
        EXPECT_EQ(d->edResource->text(), QStringLiteral("S01"));
        EXPECT_EQ(d->edUser->text(), QStringLiteral("営業"));
        EXPECT_TRUE(d->cbIPCheck->isChecked());
        d->cmbIcon->setCurrentIndex(1);
        d->pbOK->click();
    });
    editor.pbAddClick();
    ASSERT_EQ(editor.List->rowCount(), 1);
    WatchEntry e;
    ReadEntry(*editor.List, 0, e);
    EXPECT_EQ(e.Domain, QStringLiteral("SALES"));
    EXPECT_EQ(e.Kind, KindSecond);
    EXPECT_EQ(e.ImageIndex, 9);
    EXPECT_EQ(ListEditor::NodeImageOf(s01), 18);

    editor.lvRes2->SetSelectedRows({0});
    EXPECT_TRUE(editor.pbDel->isEnabled());
    editor.pbDelClick();
    EXPECT_EQ(editor.List->rowCount(), 0);
    EXPECT_EQ(ListEditor::NodeImageOf(s01), 0) << "the computer can be added again";
}

TEST_F(ListEditorTest, SeparatorsAndAddressEntries)
{
    ListEditor editor(main, *net, nullptr);
    {
        ModalAnswers<EntryDialog> sep([](EntryDialog *d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Entry Separator Name"));
            EXPECT_EQ(d->edUser->text(), QStringLiteral("---------------------"));
            d->pbOK->click();
        });
        editor.pbSeparatorClick();
    }
    ASSERT_EQ(editor.List->rowCount(), 1);
    EXPECT_EQ(editor.List->imageIndex(0), 8);
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColIPCheck), QStringLiteral("-"));
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColLoginAction), QStringLiteral("-----"));

    // Renaming it leaves its actions alone; applying an action skips it.
    editor.lvRes2->SetSelectedRows({0});
    {
        ModalAnswers<EntryDialog> rename([](EntryDialog *d) {
            d->edUser->setText(QStringLiteral("営業部"));
            d->pbOK->click();
        });
        editor.pbUserClick();
    }
    editor.pbLoginApplyClick();
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColUserName), QStringLiteral("営業部"));
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColLoginAction), QStringLiteral("-----"));
    EXPECT_EQ(editor.List->text(0, WatchListModel::ColLogoutAction), QStringLiteral("-----"));
    EXPECT_EQ(editor.edLoginFile->text(), QStringLiteral("in.wav"));

    {
        ModalAnswers<EntryDialog> ip([](EntryDialog *d) {
            EXPECT_EQ(d->Mode(), EntryDialog::umIPEntry);
            d->edUser->setText(QStringLiteral("プリンタ"));
            d->edIP->setText(QStringLiteral("192.168.1.10"));
            d->pbOK->click();
        });
        editor.pbIPClick();
    }
    ASSERT_EQ(editor.List->rowCount(), 2);
    WatchEntry e;
    ReadEntry(*editor.List, 1, e);
    EXPECT_EQ(e.Address, QStringLiteral("192.168.  1. 10"));
    EXPECT_EQ(e.StatusText, StatusUnconfirmed);
    EXPECT_EQ(e.ImageIndex, 2);
    EXPECT_TRUE(e.IPCheck);

    // An address row opens in address mode again; a new icon resets its
    // image and data word.
    editor.lvRes2->SetSelectedRows({1});
    ModalAnswers<EntryDialog> edit([](EntryDialog *d) {
        EXPECT_EQ(d->Mode(), EntryDialog::umIPEntry);
        d->edResource->setText(QStringLiteral("PRN1"));
        d->cmbIcon->setCurrentIndex(2);
        d->pbOK->click();
    });
    editor.pbUserClick();
    EXPECT_EQ(editor.List->text(1, WatchListModel::ColResourceName), QStringLiteral("PRN1"));
    EXPECT_EQ(editor.List->imageIndex(1), 14);
    EXPECT_EQ(editor.List->dataWord(1), 12u);
}

TEST_F(ListEditorTest, SelectionMessages)
{
    AddEntry(watched(QStringLiteral("PC01"), QStringLiteral("受付")), main);
    AddEntry(watched(QStringLiteral("PC02"), QStringLiteral("経理")), main);
    ListEditor editor(main, *net, nullptr);
    {
        BoxAnswers boxes;
        editor.pbLoginApplyClick();
        editor.pbUserClick();
        editor.lvRes2->SetSelectedRows({0, 1});
        editor.pbUserClick();
        editor.edLogoutFile->setText(QStringLiteral("notify %U"));
        editor.pbLogoutTestClick();
        EXPECT_EQ(boxes.Texts, (QStringList{QStringLiteral("監視端末を選択して下さい。"),
                                            QStringLiteral("監視端末を１つだけ選択して下さい。"),
                                            QStringLiteral("監視端末を１つだけ選択して下さい。"),
                                            QStringLiteral("パラメータに置き換え文字「%」があります。\n監視端末を１つだけ選択して下さい。")}));
    }
    editor.pbLogoutApplyClick();
    EXPECT_EQ(column(*editor.List, WatchListModel::ColLogoutAction),
              (QStringList{QStringLiteral("notify %U"), QStringLiteral("notify %U")}));

    {
        BoxAnswers no({QMessageBox::No});
        editor.pbDelAllClick();
        EXPECT_EQ(no.Texts, QStringList{QStringLiteral("監視端末をすべて削除します。\nよろしいですか？")});
        EXPECT_EQ(editor.List->rowCount(), 2);
    }
    BoxAnswers yes({QMessageBox::Yes});
    editor.pbDelAllClick();
    EXPECT_EQ(editor.List->rowCount(), 0);
}

TEST_F(ListEditorTest, DroppedComputersFindTheirWorkgroup)
{
    AddEntry(watched(QStringLiteral("PC01"), QStringLiteral("受付")), main);
    ListEditor editor(main, *net, nullptr);
    workgroup(editor, QStringLiteral("WORKGROUP"));
    ModalAnswers<AddEntriesDialog> addSet([](AddEntriesDialog *d) {
        EXPECT_EQ(d->lblText->text(), QStringLiteral("Dropされた端末をすべて追加します"));
        d->pbOK->click();
    });
    editor.DropUrls({QUrl(QStringLiteral("smb://pc02")), QUrl(QStringLiteral("smb://pc01/")),
                     QUrl(QStringLiteral("smb://s01/share")), QUrl(QStringLiteral("smb://ghost/")),
                     QUrl(QStringLiteral("file:///tmp"))});
    EXPECT_EQ(addSet.Count, 1);
    ASSERT_EQ(editor.List->rowCount(), 3);
    WatchEntry e;
    ReadEntry(*editor.List, 1, e);
    EXPECT_EQ(e.ResourceName, QStringLiteral("PC02"));
    EXPECT_EQ(e.UserName, QStringLiteral("経理"));
    EXPECT_EQ(e.Domain, QStringLiteral("WORKGROUP"));
    EXPECT_EQ(e.Provider, SmbProviderName);
    ReadEntry(*editor.List, 2, e);
    EXPECT_EQ(e.ResourceName, QStringLiteral("GHOST"));
    EXPECT_EQ(e.UserName, QStringLiteral("GHOST"));
    EXPECT_EQ(e.Domain, QString());
    EXPECT_EQ(editor.RootNode()->childCount(), 0) << "the tree is read again";

    // One dropped computer opens the entry dialog directly.
    ModalAnswers<EntryDialog> user([](EntryDialog *d) { d->pbOK->click(); });
    editor.DropUrls({QUrl(QStringLiteral("smb://S01"))});
    EXPECT_EQ(user.Count, 1);
    EXPECT_EQ(addSet.Count, 1);
    EXPECT_EQ(editor.List->text(3, WatchListModel::ColDomain), QStringLiteral("SALES"));

    // The same through a file manager's drop of an address list.
    QMimeData files;
    files.setUrls({QUrl(QStringLiteral("file:///tmp/a.txt"))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &refused);
    EXPECT_FALSE(refused.isAccepted());
    QMimeData computers;
    computers.setUrls({QUrl(QStringLiteral("smb://PC03/"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &computers, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &computers, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &drop);
    QDeadlineTimer deadline(3000);
    while (editor.List->rowCount() < 5 && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(user.Count, 2);
    EXPECT_EQ(editor.List->text(4, WatchListModel::ColResourceName), QStringLiteral("PC03"));
    EXPECT_EQ(editor.List->text(4, WatchListModel::ColDomain), QStringLiteral("WORKGROUP"));
}

TEST_F(ListEditorTest, CancelKeepsTheMainListButNotTheWindow)
{
    AddEntry(watched(QStringLiteral("PC01"), QStringLiteral("受付")), main);
    const QString listFile = dir.path(QStringLiteral("Krovan.NT"));
    ModalAnswers<ListEditor> answer([](ListEditor *editor) {
        EXPECT_TRUE(WatchBusy);
        editor->List->clear();
        editor->edLoginFile->setText(QStringLiteral("new.wav"));
        editor->cbCommentPrior->setChecked(true);
        editor->resize(700, 450);
        editor->lvRes2->Header()->resizeSection(0, 120);
        editor->pbCancel->click();
    });
    EXPECT_FALSE(ListEditor::Execute(main, listFile, *net, nullptr, nullptr));
    EXPECT_EQ(answer.Count, 1);
    EXPECT_FALSE(WatchBusy);
    EXPECT_EQ(main.rowCount(), 1);
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.NT")));
    EXPECT_EQ(Settings.EditWnd.LoginFile, QStringLiteral("new.wav"));
    EXPECT_TRUE(Settings.EditWnd.CommentPrior);
    EXPECT_EQ(Settings.EditWnd.Size, QStringLiteral("700,450"));
    EXPECT_TRUE(Settings.EditWnd.ColWidth.startsWith(QStringLiteral("120,")));
    EXPECT_TRUE(Settings.EditWnd.ColWidth.endsWith(QStringLiteral(",0,0")));
    EXPECT_GE(Settings.EditWnd.Split, 272);
    EXPECT_FALSE(Settings.EditWnd.Pos.isEmpty());
    EXPECT_EQ(Settings.Krovan.ListMode, 4);
}

TEST_F(ListEditorTest, OkHandsTheRowsBackInTheirNewOrder)
{
    AddEntry(watched(QStringLiteral("PC01"), QStringLiteral("受付")), main);
    AddEntry(watched(QStringLiteral("PC02"), QStringLiteral("経理")), main);
    AddEntry(watched(QStringLiteral("PC03"), QStringLiteral("PC03")), main);
    const QString listFile = dir.path(QStringLiteral("Krovan.NT"));
    ModalAnswers<ListEditor> answer([](ListEditor *editor) {
        editor->lvRes2->Move(2, 0);
        editor->SetListMode(2);
        editor->pbOK->click();
    });
    EXPECT_TRUE(ListEditor::Execute(main, listFile, *net, nullptr, nullptr));
    EXPECT_EQ(column(main, WatchListModel::ColResourceName),
              (QStringList{QStringLiteral("PC03"), QStringLiteral("PC01"), QStringLiteral("PC02")}));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(DataWordFileOrder(main.dataWord(row)), row);
    EXPECT_EQ(Settings.Krovan.ListMode, 2);
    WatchListModel saved;
    ASSERT_TRUE(LoadList(saved, listFile));
    EXPECT_EQ(column(saved, WatchListModel::ColResourceName), column(main, WatchListModel::ColResourceName));
}

TEST_F(ListEditorTest, OkThatCannotSaveSaysSoAndKeepsTheEditorOpen)
{
    AddEntry(watched(QStringLiteral("PC01"), QStringLiteral("受付")), main);
    const QString listFile = dir.path(QStringLiteral("Krovan.NT"));
    // Root writes anywhere; a folder in the file's place still stops it.
    ASSERT_TRUE(QDir().mkdir(listFile));
    BoxAnswers boxes;
    bool stayedOpen = false;
    int rows = 0;
    ModalAnswers<ListEditor> answer([&](ListEditor *editor) {
        AddEntry(watched(QStringLiteral("PC02"), QStringLiteral("経理")), *editor->List);
        editor->pbOK->click();
        stayedOpen = editor->isVisible();
        rows = editor->List->rowCount();
        editor->pbCancel->click();
    });
    EXPECT_FALSE(ListEditor::Execute(main, listFile, *net, nullptr, nullptr));
    // The error names the file and the system's reason.
    ASSERT_EQ(boxes.Texts.size(), 1);
    const QString said = QStringLiteral("保存に失敗しました！\n\n") + listFile + QStringLiteral(": ");
    EXPECT_TRUE(boxes.Texts[0].startsWith(said) && boxes.Texts[0].size() > said.size()) << boxes.Texts[0].toStdString();
    EXPECT_EQ(boxes.Icons.value(0), QMessageBox::Critical);
    EXPECT_EQ(boxes.Titles.value(0), QStringLiteral("Corvane Ver 2.10a"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(main.rowCount(), 1);
}

TEST_F(ListEditorTest, NodePropertiesAskTheNetwork)
{
    ListEditor editor(main, *net, nullptr);
    editor.RemotePlatform = [](const QString &, const QString &) { return QStringLiteral("Test OS"); };
    QTreeWidgetItem *wg = workgroup(editor, QStringLiteral("WORKGROUP"));
    editor.ExpandNode(wg);
    QStringList seen;
    ModalAnswers<PropertiesDialog> prop([&](PropertiesDialog *d) {
        seen << d->LineValue(PropertiesDialog::LineResource) << d->LineValue(PropertiesDialog::LineComment)
             << d->LineValue(PropertiesDialog::LineDomain) << d->LineValue(PropertiesDialog::LineStatus);
        d->pbOK->click();
    });
    editor.tvNetWk->setCurrentItem(wg->child(0));
    editor.mnPropertyClick();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("PC01"), QStringLiteral("受付"), QStringLiteral("WORKGROUP"),
                                 QStringLiteral("ﾛｸﾞｲﾝ")}));
    seen.clear();
    editor.tvNetWk->setCurrentItem(wg);
    editor.mnPropertyClick();
    EXPECT_EQ(seen.value(0), QStringLiteral("WORKGROUP"));
    EXPECT_EQ(seen.value(3), QStringLiteral("ﾜｰｸｸﾞﾙｰﾌﾟ"));
    EXPECT_EQ(prop.Count, 2);
}

} // namespace

TEST_F(ListEditorTest, DefaultColumnWidthsFitTheirTextsAndStayStored)
{
    const QString user = QStringLiteral("tanaka-at-the-front-desk");
    AddEntry(watched(QStringLiteral("PC01"), user), main);
    int fitted = 0, needed = 0;
    ModalAnswers<ListEditor> answer([&](ListEditor *editor) {
        fitted = editor->lvRes2->Header()->sectionSize(WatchListModel::ColUserName);
        needed = editor->lvRes2->ReportView()->fontMetrics().horizontalAdvance(user);
        editor->pbCancel->click();
    });
    ListEditor::Execute(main, dir.path(QStringLiteral("Krovan.NT")), *net, nullptr, nullptr);
    ASSERT_EQ(answer.Count, 1);
    EXPECT_GE(fitted, needed);
    EXPECT_EQ(Settings.EditWnd.ColWidth, QStringLiteral("50,50,50,50,50,50,50,50,50,0,0"));
}
