#pragma once

// The watch-list editor's row operations on the edited list: terminals added
// from the tree or a drop, by IP address or as separators; the selected row
// edited in the entry dialog; rows deleted; the two action boxes applied to
// the selected rows or tried out. The tree's computer nodes follow the rows
// (marked while their terminal is in the list).

#include "console/ListEditorTree.h"

#include <QCoreApplication>
#include <QPoint>

class EventActions;
class WatchListView;
class QLineEdit;
class QWidget;
class WatchListModel;
struct WatchEntry;

// Its texts are the editor window's.
class ListEditorRows {
    Q_DECLARE_TR_FUNCTIONS(ListEditor)

public:
    // owner parents the dialogs and message boxes; loginBox and logoutBox
    // are the two action boxes new rows take their actions from.
    ListEditorRows(WatchListModel &list, WatchListView *view, ListEditorTree &tree, QWidget *owner, QLineEdit *loginBox,
                QLineEdit *logoutBox);

    // Plays and runs what the action boxes' "ﾃｽﾄ" tries; null runs nothing.
    EventActions *Actions = nullptr;

    bool IsWatched(const QString &resourceName) const;

    // Adds terminals: one manual, or a group through the addition dialog
    // (workgroup names the group; empty for dropped terminals). How many
    // were added; stopped when the operator cancelled.
    int Add(const QList<ListEditorTree::Candidate> &candidates, bool group, const QString &workgroup, bool &stopped);
    // "I&P" and "ｾﾊﾟﾚｰﾀ": a row from the entry dialog.
    void AddByAddress();
    void AddSeparator();
    // "ﾕｰｻﾞｰ名(&U)...": the one selected row in the entry dialog.
    void EditSelected();
    void DeleteSelected();
    // Asks first.
    void DeleteAll();
    // "適用" and "ﾃｽﾄ" of the login (or logout) action box.
    void ApplyAction(bool login);
    void TestAction(bool login);

private:
    // The entry dialog for an entry; false on Cancel.
    bool EditInDialog(int mode, WatchEntry &entry);
    void Warn(const QString &text);

    WatchListModel &list_;
    WatchListView *view_;
    ListEditorTree &tree_;
    QWidget *owner_;
    QLineEdit *loginBox_;
    QLineEdit *logoutBox_;
    // The entry dialog opens where the operator left it last.
    bool userPlaced_ = false;
    QPoint userPos_;
};
