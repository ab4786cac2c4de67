#pragma once

// The watch-list editor. On the left the network as the network browser
// presents it (providers, domains and workgroups, their computers); on the
// right an edited copy of the watch list. Terminals are added from the
// tree, by dropping computers from a file manager's network view (smb://
// addresses), by IP address and as separators; the entry dialog edits one
// row at a time.
//
// The main window opens it with Execute: on OK the edited rows replace the
// main list, SaveList writes the watch-list file and [Krovan] ListMode takes
// the editor's view mode, which the main window then applies to its list.
// Cancel leaves the main list as it was. Either way the editor's window
// settings ([EditWnd]) are kept in the settings record.
//
// The editor builds the window, keeps its settings and dispatches the
// commands; the network tree (ListEditorTree) and the operations on the edited
// rows (ListEditorRows) are parts of their own.

#include "console/PropertiesDialog.h"
#include "engine/WatchEntry.h"

#include <QDialog>
#include <QPoint>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class EventActions;
class WatchListView;
class NetBrowser;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;
class ListEditorRows;
class ListEditorTree;
class WatchListModel;

class ListEditor : public QDialog {
    Q_OBJECT

public:
    // mainList is copied, not changed, until the caller takes the rows.
    ListEditor(const WatchListModel &mainList, NetBrowser &net, EventActions *actions, QWidget *owner = nullptr);
    ~ListEditor() override;

    // The open editor, if any.
    static ListEditor *Current();

    // The main window's "ﾘｽﾄ編集(&L).." command, with WatchBusy set while the
    // editor is open. True after OK, which writes listFile first (a failed
    // write is reported and the editor stays open): mainList holds the
    // edited rows (each row's file order its position) and
    // Settings.Krovan.ListMode is the editor's view mode. An open editor is
    // brought to the front instead (false).
    // trayImage shows the main window's tray image while the network is
    // searched (see SetTrayImage).
    static bool Execute(WatchListModel &mainList, const QString &listFile, NetBrowser &net, EventActions *actions,
                        QWidget *owner, std::function<void(int)> trayImage = {});

    // The edited rows with each row's file order set to its position: what
    // OK hands back.
    WatchListModel *List = nullptr;
    // The watch-list file OK writes before the editor closes; a failed
    // write keeps the editor open. Empty: OK writes nothing.
    QString ListFile;
    void RenumberFileOrder();

    // The view mode chosen in the editor (1-4, as [Krovan] ListMode).
    int ListMode = 1;

    // Shows the main window's tray image while the network is searched
    // (1) and afterwards (0); empty when there is no main window.
    std::function<void(int)> SetTrayImage;

    // Names the system of a computer in the property dialog; empty asks
    // the network.
    PropertiesDialog::RemotePlatformQuery RemotePlatform;

    // Commands.
    void pbAddClick();
    void pbDelClick();
    void pbDelAllClick();
    void pbSeparatorClick();
    void pbIPClick();
    void pbUserClick();
    void pbOKClick();
    void pbCancelClick();
    void pbLoginApplyClick();
    void pbLogoutApplyClick();
    void pbLoginTestClick();
    void pbLogoutTestClick();
    void mnPropertyClick();
    void SortBy(int column);
    void RestoreOrder();
    void SetListMode(int mode);
    // Every way of closing ends here: the window settings are kept.
    void done(int result) override;

    // The children of a container node rebuilt from the network.
    void ExpandNode(QTreeWidgetItem *node);
    // Dropped smb://HOST addresses added like a group of computers.
    void DropUrls(const QList<QUrl> &urls);

    // The tree's root (the whole network).
    QTreeWidgetItem *RootNode() const;
    // The node's image index (ListEditorTree::NodeImage).
    static int NodeImageOf(const QTreeWidgetItem *node);
    // The computer node of a resource name anywhere in the tree, or null.
    QTreeWidgetItem *FindComputerNode(const QString &resourceName) const;

    QSplitter *spMain = nullptr;
    QLabel *lblNetWk = nullptr;
    QTreeWidget *tvNetWk = nullptr;
    QStatusBar *sbNetWk = nullptr;
    QCheckBox *cbCommentPrior = nullptr;
    QLineEdit *edLoginFile = nullptr;
    QPushButton *pbLoginTest = nullptr;
    QPushButton *pbLoginBrowse = nullptr;
    QPushButton *pbLoginApply = nullptr;
    QLineEdit *edLogoutFile = nullptr;
    QPushButton *pbLogoutTest = nullptr;
    QPushButton *pbLogoutBrowse = nullptr;
    QPushButton *pbLogoutApply = nullptr;
    QPushButton *pbAdd = nullptr;
    QPushButton *pbDel = nullptr;
    QPushButton *pbSeparator = nullptr;
    QPushButton *pbIP = nullptr;
    QLabel *lblRes2 = nullptr;
    WatchListView *lvRes2 = nullptr;
    QPushButton *pbUser = nullptr;
    QPushButton *pbOK = nullptr;
    QPushButton *pbCancel = nullptr;

    QAction *mnAdd = nullptr;
    QAction *mnDel = nullptr;
    QAction *mnDelAll = nullptr;
    QAction *mnSeparator = nullptr;
    QAction *mnProperty = nullptr;
    QAction *mnTreeAdd = nullptr;
    QAction *mnTreeProperty = nullptr;
    QList<QAction *> mnView;
    QMenu *pmNetWk = nullptr;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildMenus(QWidget *menuHost);
    void PlaceWindow();
    void KeepWindowSettings();
    // While the stored widths are the settings' defaults, the list's columns
    // fit their caption and contents until the operator sizes one; the
    // defaults then stay stored.
    void FitDefaultColumns();
    void CopyMainList(const WatchListModel &mainList);
    void UpdateCommands();
    // Enter or a double-click on a node: a computer is added, anything
    // else opened.
    void NodeActivated(QTreeWidgetItem *node);
    // "参照..." of an action box.
    void BrowseAction(QLineEdit *box);
    void Warn(const QString &text);

    std::unique_ptr<ListEditorTree> tree_;
    std::unique_ptr<ListEditorRows> rows_;
    bool fitColumns_ = false;
    bool fittingColumns_ = false;
};
