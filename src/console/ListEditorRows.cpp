#include "console/ListEditorRows.h"

#include "config/Settings.h"
#include "console/AddEntriesDialog.h"
#include "console/EntryDialog.h"
#include "console/WatchListView.h"
#include "engine/ExpandTemplate.h"
#include "engine/WatchEntry.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/EventActions.h"
#include "process/ProcessFlags.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

const QString SeparatorUserName = QStringLiteral("---------------------");

bool isSeparatorRow(const WatchListModel &list, int row)
{
    return list.text(row, WatchListModel::ColResourceName) == SeparatorText;
}

} // namespace

ListEditorRows::ListEditorRows(WatchListModel &list, WatchListView *view, ListEditorTree &tree, QWidget *owner,
                         QLineEdit *loginBox, QLineEdit *logoutBox)
    : list_(list), view_(view), tree_(tree), owner_(owner), loginBox_(loginBox), logoutBox_(logoutBox)
{
}

bool ListEditorRows::IsWatched(const QString &resourceName) const
{
    for (int row = 0; row < list_.rowCount(); ++row)
        if (list_.text(row, WatchListModel::ColResourceName) == resourceName)
            return true;
    return false;
}

void ListEditorRows::Warn(const QString &text)
{
    QMessageBox::warning(owner_, AppTitle, text);
}

bool ListEditorRows::EditInDialog(int mode, WatchEntry &entry)
{
    EntryDialog dialog(EntryDialog::EntryKind(mode), owner_);
    dialog.SetEntry(entry);
    dialog.adjustSize();
    if (!userPlaced_) {
        const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                              : QRect(0, 0, 1280, 1024);
        userPos_ = screen.center() - QPoint(dialog.width() / 2, dialog.height() / 2);
    }
    dialog.move(userPos_);
    const bool ok = dialog.exec() == QDialog::Accepted;
    userPos_ = dialog.pos();
    userPlaced_ = true;
    if (ok)
        dialog.GetEntry(entry);
    return ok;
}

int ListEditorRows::Add(const QList<ListEditorTree::Candidate> &candidates, bool group, const QString &workgroup,
                     bool &stopped)
{
    stopped = false;
    bool manual = true;
    bool useTerminalName = false;
    bool ipCheck = true;
    if (group) {
        AddEntriesDialog addSet(workgroup, owner_);
        if (addSet.exec() != QDialog::Accepted) {
            stopped = true;
            return 0;
        }
        manual = addSet.Manual();
        useTerminalName = !manual && addSet.UseTerminalName();
        ipCheck = manual || addSet.IPCheck();
    }

    int added = 0;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const ListEditorTree::Candidate &c = candidates[i];
        if (c.node && ListEditorTree::NodeImageOf(c.node) == ListEditorTree::NodeWatched)
            continue;
        if (!c.node && (c.resource.isEmpty() || IsWatched(c.resource)))
            continue;
        WatchEntry entry;
        entry.ResourceName = c.resource;
        entry.UserName = useTerminalName ? c.resource : c.user;
        entry.LoginAction = loginBox_->text();
        entry.LogoutAction = logoutBox_->text();
        entry.State = StateLoggedIn;
        entry.StatusText = StatusLoggedIn;
        entry.ImageIndex = KindStandard;
        entry.IPCheck = ipCheck;
        entry.Provider = c.provider;
        entry.Domain = c.domain;
        entry.Kind = KindStandard;
        if (manual) {
            if (!EditInDialog(EntryDialog::umTerminal, entry)) {
                const bool more = group && i + 1 < candidates.size();
                if (more) {
                    QMessageBox box(QMessageBox::Question, AppTitle, tr("追加処理を続行しますか？"),
                                    QMessageBox::Yes | QMessageBox::No, owner_);
                    if (box.exec() == QMessageBox::Yes)
                        continue;
                }
                stopped = true;
                break;
            }
            loginBox_->setText(entry.LoginAction);
            logoutBox_->setText(entry.LogoutAction);
            entry.ImageIndex = entry.Kind;
        }
        AddEntry(entry, list_);
        if (c.node)
            tree_.MarkWatched(c.node, true);
        ++added;
    }
    return added;
}

void ListEditorRows::AddByAddress()
{
    WatchEntry entry;
    entry.State = StateUnconfirmed;
    entry.StatusText = StatusUnconfirmed;
    entry.IPCheck = true;
    entry.LoginAction = loginBox_->text();
    entry.LogoutAction = logoutBox_->text();
    entry.Kind = KindStandard;
    if (!EditInDialog(EntryDialog::umIPEntry, entry))
        return;
    entry.ImageIndex = entry.Kind + 2;
    AddEntry(entry, list_);
}

void ListEditorRows::AddSeparator()
{
    WatchEntry entry;
    entry.UserName = SeparatorUserName;
    entry.ResourceName = SeparatorText;
    entry.StatusText = SeparatorText;
    entry.Domain = SeparatorText;
    entry.LoginAction = SeparatorText;
    entry.LogoutAction = SeparatorText;
    entry.Provider = SeparatorText;
    entry.Address = SeparatorText;
    entry.MAC = SeparatorText;
    entry.Result = SeparatorText;
    entry.State = EntryState(KindSeparator);
    entry.Kind = KindSeparator;
    entry.ImageIndex = ImageSeparator;
    entry.IPCheck = false;
    if (!EditInDialog(EntryDialog::umSeparator, entry))
        return;
    AddEntry(entry, list_);
}

void ListEditorRows::EditSelected()
{
    const QList<int> selected = view_->SelectedRows();
    if (selected.size() != 1) {
        Warn(tr("監視端末を１つだけ選択して下さい。"));
        return;
    }
    const int row = selected.first();
    WatchEntry entry;
    if (!ReadEntry(list_, row, entry))
        return;
    EntryDialog::EntryKind mode = EntryDialog::umTerminal;
    if (isSeparatorRow(list_, row))
        mode = EntryDialog::umSeparator;
    else if (entry.IPCheck && entry.Domain.isEmpty() && entry.Provider.isEmpty())
        mode = EntryDialog::umIPEntry;
    const int oldKind = DataWordKind(list_.dataWord(row));
    if (!EditInDialog(mode, entry))
        return;
    if (entry.Kind != oldKind) {
        entry.ImageIndex = entry.Kind + 2;
        entry.State = EntryState(0);
        entry.FileOrder = 0;
    }
    WriteEntry(entry, list_, row);
    if (mode != EntryDialog::umSeparator) {
        loginBox_->setText(entry.LoginAction);
        logoutBox_->setText(entry.LogoutAction);
    }
}

void ListEditorRows::DeleteSelected()
{
    QList<int> selected = view_->SelectedRows();
    std::sort(selected.begin(), selected.end());
    for (auto it = selected.crbegin(); it != selected.crend(); ++it) {
        if (QTreeWidgetItem *node = tree_.FindComputerNode(list_.text(*it, WatchListModel::ColResourceName));
            node && ListEditorTree::NodeImageOf(node) == ListEditorTree::NodeWatched)
            tree_.MarkWatched(node, false);
        list_.removeRows(*it, 1);
    }
}

void ListEditorRows::DeleteAll()
{
    QMessageBox box(QMessageBox::Question, AppTitle, tr("監視端末をすべて削除します。\nよろしいですか？"),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    if (box.exec() != QMessageBox::Yes)
        return;
    list_.clear();
    tree_.ClearWatchedMarks();
}

void ListEditorRows::ApplyAction(bool login)
{
    const QList<int> selected = view_->SelectedRows();
    if (selected.isEmpty()) {
        Warn(tr("監視端末を選択して下さい。"));
        return;
    }
    const QString text = (login ? loginBox_ : logoutBox_)->text();
    const int column = login ? WatchListModel::ColLoginAction : WatchListModel::ColLogoutAction;
    for (int row : selected) {
        // A separator is never checked, so it never runs an action.
        if (!isSeparatorRow(list_, row))
            list_.setText(row, column, text);
    }
}

void ListEditorRows::TestAction(bool login)
{
    QLineEdit *box = login ? loginBox_ : logoutBox_;
    const QString text = box->text();
    QStringList values;
    if (text.contains(u'%')) {
        const QList<int> selected = view_->SelectedRows();
        if (selected.size() != 1) {
            Warn(tr("パラメータに置き換え文字「%」があります。\n") + tr("監視端末を１つだけ選択して下さい。"));
            return;
        }
        WatchEntry e;
        ReadEntry(list_, selected.first(), e);
        values = EntryTemplateValues(e);
    }
    if (!Actions || text.isEmpty() || !Actions->RunAction(text, values, Settings.Config.WaitWave))
        box->setFocus();
}
