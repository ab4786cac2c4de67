#pragma once

// The access check: the one-second access timer, the count towards the next
// scan, the access tree and the detail lines of the last access event. The
// main window owns one and wires its server, watch list, list window and
// event hooks. Everything runs on the main thread except the scan a tick
// starts: the server's answers and the client name lookups can take seconds,
// so that scan runs on a worker thread over copies of what it reads, and its
// result is applied on the main thread.

#include "access/AccessRows.h"
#include "access/AccessScan.h"
#include "access/AccessSession.h"
#include "process/ProcessFlags.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class AccessListView;
class ServerApi;
class WatchListModel;

class AccessCheck : public QObject {
    Q_OBJECT

public:
    explicit AccessCheck(QObject *parent = nullptr);
    // Waits for a scan under way; its result is dropped.
    ~AccessCheck() override;

    // Asks the server interface whether it can be used, for families 1
    // and 2; with false every later scan does nothing. Both wait for a scan
    // under way first (its result is dropped): the server is the scan's
    // while it runs.
    bool LoadAccessLibrary(int family);
    void FreeAccessLibrary();
    bool LibraryLoaded() const { return loaded_; }

    // The access timer's handler, also called directly by the check command
    // after it has set AccessTicks to [Access] CheckInterval. At the
    // interval it starts a scan on the worker and returns; WatchBusy is held
    // and the timer stays stopped until the result has been applied (rows,
    // greetings, the access event, the automatic close). A tick while a scan
    // is under way does nothing.
    void AccessTick();
    bool ScanRunning() const { return job_ != nullptr; }
    // Waits for a scan under way to end (the server's queries have their
    // own time-outs) and drops its result: nothing of it is applied, and
    // WatchBusy is given back. The timer stays stopped.
    void StopScan();

    // The scan step alone, here on the calling thread, with the settings of
    // the moment; a failed scan says why in one line on standard error and
    // in the list window, once until a scan works again.
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

signals:
    // A scan's result has been applied: the sessions and their times are
    // the scan's.
    void ScanApplied();

private:
    struct ScanJob;
    // What a scan reads, copied now; null when there is nothing to scan.
    std::shared_ptr<ScanJob> prepareScan() const;
    static void runScan(ScanJob &job);
    // On the main thread, when the worker of job has ended.
    void scanDone(const std::shared_ptr<ScanJob> &job);
    void tellFailure(bool scanned, QString failure);
    // What a tick does once the scan is over.
    void applyScan();

    int family() const;
    AccessRowList rows() const;
    void greeted(const QString &terminal, bool ok);

    QHash<QString, QString> greetings_;  // terminal -> "OK", "NG", or empty while under way
    bool building_ = false;
    bool loaded_ = false;
    QString lastFailure_;  // the failure last told, empty while scans work
    std::shared_ptr<ScanJob> job_;        // the scan under way
    std::thread worker_;                  // its thread
    std::optional<WatchBusyMark> busy_;   // held from its start until applied
};
