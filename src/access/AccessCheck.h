#pragma once

// The access check: the one-second access timer, the count towards the next
// scan, the access tree and the detail lines of the last access event. The
// main window owns one and wires its server, watch list, list window and
// event hooks; everything runs on the main thread.

#include "access/AccessRows.h"
#include "access/AccessScan.h"
#include "access/AccessSession.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class AccessListView;
class ServerApi;
class WatchListModel;

class AccessCheck : public QObject {
    Q_OBJECT

public:
    explicit AccessCheck(QObject *parent = nullptr);

    // Asks the server interface whether it can be used, for families 1
    // and 2; with false every later scan does nothing.
    bool LoadAccessLibrary(int family);
    void FreeAccessLibrary();
    bool LibraryLoaded() const { return loaded_; }

    // The access timer's handler, also called directly by the check command
    // after it has set AccessTicks to [Access] CheckInterval.
    void AccessTick();

    // The scan step alone (step 5 of a tick), with the settings of the
    // moment; a failed scan says why in one line on standard error and in
    // the list window, once until a scan works again.
    void Scan();
    // The rows of the current tree with the greeting sent to every new
    // session when [Messenger] AutoSend is set. A greeting's "OK" or "NG"
    // shows in its row when the send is over (the list window is given the
    // rows again then), until the next scan.
    AccessRowList BuildRows();

    QTimer tmAccess;                 // 1000 ms, created stopped
    int AccessTicks = 0;
    AccessSessions AccessSessionList;
    QStringList AccessDetailList;

    // Wiring.
    ServerApi *Server = nullptr;
    const WatchListModel *Rows = nullptr;
    AccessListView *ListView = nullptr;
    // This machine's computer name (the own-computer filter).
    QString ComputerName;
    // Sends the greeting to a terminal through the family's messenger,
    // without waiting: done(ok) follows when the send is over (a client may
    // hold it for seconds).
    std::function<void(const QString &terminal, const QString &text, std::function<void(bool ok)> done)>
        SendMessenger;
    // Raises the access event with the report list ("user TAB terminal"
    // lines); AccessDetailList is already built.
    std::function<void(const QStringList &report)> RaiseAccessEvent;
    // The platform family of the moment; PlatformFamily when not set.
    std::function<int()> Family;

private:
    int family() const;
    AccessRowList rows() const;
    void greeted(const QString &terminal, bool ok);

    QHash<QString, QString> greetings_;  // terminal -> "OK", "NG", or empty while under way
    bool building_ = false;
    bool loaded_ = false;
    QString lastFailure_;  // the failure last told, empty while scans work
};
