#pragma once

// The access list window: the terminals using this machine's shared
// folders, with their connections and open files, as a three-level tree
// (terminal, share, file). One instance, created hidden at start-up and kept
// for the whole run: closing it only hides it. The access check refills it
// at every scan, visible or not, through AccessListView.

#include "access/AccessListView.h"

#include <QMainWindow>

#include <functional>

class MessageQueue;
class QAction;
class QMenu;
class QPushButton;
class TreeListView;
class QWidget;

class AccessListWindow : public QMainWindow, public AccessListView {
    Q_OBJECT

public:
    // Design values: the fallbacks of the stored geometry and the smallest
    // size the operator can drag the window to.
    static constexpr int DesignWidth = 437;
    static constexpr int DesignHeight = 123;
    static constexpr int DesignTop = 0;
    static constexpr int DesignLeft = 0;
    static constexpr int ColumnCount = 5;
    static constexpr int HelpContext = 50;

    explicit AccessListWindow(QWidget *parent = nullptr);

    // AccessListView.
    int SelectedIndex() const override;
    void SetRows(const AccessRowList &rows, int select) override;
    bool IsShown() const override { return isVisible(); }
    bool OpenedAutomatically() const override { return openedAutomatically_; }
    void ShowAccessList(bool automatic) override;
    void CloseList() override { close(); }
    // A status line under the buttons, shown only while there is a reason.
    void ShowScanFailure(const QString &why) override;

    // Adds one session's rows to the list as it stands (the platform
    // family decides whether a share row shows its account).
    void AddSessionRows(const AccessSession &session);
    // The rows as shown, in list order.
    const AccessRowList &Rows() const { return rows_; }
    // Selects a row by its index in list order (-1 clears the selection).
    void SelectRow(int index);

    // The send-message command for the selected row: a dialog addressed to
    // its caption. The pop-up command runs it whatever the row's level.
    void pbMsgClick();
    // Brings the main window back.
    void pbGoMainClick();

    // Wiring by the main window. Sender carries the operator's messages
    // (without one the message command does nothing); ShowMain runs the
    // main window's own show-and-restore command, and when it is not set
    // the main window is simply shown, restored and raised.
    MessageQueue *Sender = nullptr;
    std::function<void()> ShowMain;

    TreeListView *tlvSess = nullptr;
    QWidget *pnlBottom = nullptr;
    QPushButton *pbGoMain = nullptr;
    QPushButton *pbMsg = nullptr;
    QPushButton *pbClose = nullptr;
    QMenu *pmAccess = nullptr;
    QAction *mnMsg = nullptr;
    QAction *mnClose = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void PlaceWindow();
    void RestoreColumns();
    void KeepWindowSettings();
    void LayoutButtons();
    void UpdateMsgButton();
    void FillTree();

    AccessRowList rows_;
    bool openedAutomatically_ = false;
    int designMsgLeft_ = 0, designCloseLeft_ = 0;
};

extern AccessListWindow *accessListWindow;
