#pragma once

// The commands on the watch list's selected rows: rest, check now,
// properties, message, hardware address, wake, open in the file manager or
// the browser, icon alignment, and the double-click that runs one of them.
// A command gives back the warning the operator is to see (empty when
// none); the window shows it.

#include <QList>
#include <QString>

#include <functional>

class WatchListView;
class MessageQueue;
class NetBrowser;
class QPoint;
class QUrl;
class QWidget;
class WatchEngine;
class WatchListModel;

// What the row commands may do for a selection, given the EntryState of
// each selected row (right after loading a row holds its image index
// there).
struct RowCommandState {
    bool Rest = false;
    bool Property = false;
    bool Message = false;
    bool Wake = false;
    bool Open = false;
    bool Align = false;
};
RowCommandState RowCommandsFor(const QList<int> &selectedStates);

// The commands a double-click can run, by [Config] DblClickAction.
enum DblClickCommand { DblRest = 0, DblCheck, DblProperty, DblMessage, DblGetMAC, DblWake, DblExplorer,
                       DblBrowser };
DblClickCommand DblClickCommandFor(int action);

class RowCommands {
public:
    // window is the parent of the dialogs the commands open.
    RowCommands(WatchListModel &model, WatchListView &list, WatchEngine &engine, NetBrowser &net, MessageQueue &sender,
                QWidget *window);

    // Opens a URL through the desktop.
    std::function<bool(const QUrl &)> OpenUrl;
    // The network is asked about a terminal: its caption while the question
    // runs, then an empty text.
    std::function<void(const QString &)> Searching;

    // What may run for the selection as it stands.
    RowCommandState State() const;
    bool OneRowSelected(int &row) const;

    QString RestToggle();
    QString Check();
    QString Properties();
    QString SendMessage();
    QString GetMAC();
    QString ClearMAC();
    QString Wake();
    QString Open(bool browser);
    // Lines the selected icons up with the icon under reference (the last
    // right-click, in the view's coordinates).
    QString Align(bool top, const QPoint &reference);
    QString Arrange();
    // The command [Config] DblClickAction names, if the row allows it;
    // checkAllowed is false while a check cannot start.
    QString DoubleClick(bool checkAllowed);

private:
    WatchListModel &model_;
    WatchListView &list_;
    WatchEngine &engine_;
    NetBrowser &net_;
    MessageQueue &sender_;
    QWidget *window_;
};
