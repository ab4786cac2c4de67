#pragma once

// The watch worker: one watch pass over a copy of the watch list, on a
// thread of its own so that slow browse lists and echo probes never block
// the console.
//
// For every item that is not skipped it decides whether the terminal is
// present (listed in its domain by its provider, or answering an echo
// request at its address), turns a change of presence into a login, logout
// or watch error with a line in the matching list and the entry's own
// action, and hands the new state to the main thread. Everything that
// touches the rows or the main window runs on the main thread. The worker
// gathers its changes and hands them over, in order and without waiting,
// whenever it is about to wait for something itself (an echo, a lookup, a
// browse list, an entry action): the rows are never behind while the worker
// waits. Handed-over changes wait in one list that the main thread empties
// in one go; a main thread that is behind finds more there rather than more
// events, so a fast pass costs at most one event per entry and no thread
// switch per change. The worker waits for the main thread only where it
// needs an answer (a row's MAC text) and once at the end of the pass, so
// that when the loop has ended every change is in the rows.
//
// Terminate() is looked at after the progress is shown, after the name
// resolution, after the address check and after the entry is published; an
// entry interrupted before it is published keeps its old state (the column
// texts of its address check stay).

#include "engine/WatchEntry.h"

#include <QList>
#include <QStringList>
#include <QThread>

#include <functional>
#include <mutex>

class NetBrowser;
class TIcmp;
class WatchEvents;
class WatchListModel;

class TEnumThread : public QThread {
    Q_OBJECT

public:
    // What the worker works with; everything lives on the main thread and
    // outlives the worker.
    struct Host {
        WatchListModel *model = nullptr;  // its thread runs the hand-offs
        TIcmp *probe = nullptr;
        NetBrowser *net = nullptr;
        WatchEvents *events = nullptr;
        // Main thread: the status bar text.
        std::function<void(const QString &)> statusBar;
        // Main thread: the error, login and logout lines an entry added to
        // the pass's lists (usually all three empty).
        std::function<void(const QStringList &, const QStringList &, const QStringList &)> publishLines;
    };

    TEnumThread(const Host &host, QList<WorkItem> workList, QObject *parent = nullptr);
    // Stops the loop and waits for it. The loop may be waiting for a
    // hand-off to the main thread, so the main thread deletes a worker only
    // after it has finished (the engine lets it delete itself then).
    ~TEnumThread() override;

    // Asks the loop to stop at its next check.
    void Terminate() { requestInterruption(); }

    // After the loop has ended (or from the loop's own thread).
    const QList<WorkItem> &WorkList() const { return WorkList_; }
    const QStringList &ErrorLines() const { return ErrorLines_; }
    const QStringList &LoginLines() const { return LoginLines_; }
    const QStringList &LogoutLines() const { return LogoutLines_; }

protected:
    void run() override;

private:
    void ShowProgress();
    void PublishEntry();
    void Resolve();
    void AddressCheck();
    void NetworkCheck();
    void MarkLogin(int index);
    void MarkLogout(int index);
    void MarkError(int index);
    void RunEntryAction(const WorkItem &item, const QString &action);

    QString ResolveAddress(const QString &name);
    QString ReverseLookup(const QString &address);
    bool ProbeEcho(const QString &address);
    QString ProbeMAC(const QString &address);
    bool ProbeReady();

    // Row updates of the address check, on the main thread.
    void SetRowText(int column, const QString &text);
    QString RowText(int column);
    // Hands the gathered changes to the main thread without waiting.
    void Flush();
    // Main thread: applies everything handed over so far.
    void ApplyHandedOver();
    // Runs f on the main thread after the gathered changes and waits.
    void OnMain(const std::function<void()> &f);
    bool Stopping() const { return isInterruptionRequested(); }

    Host host_;
    qint32 CurrentIndex = 0;
    QString ResolvedAddress;
    QString NameToResolve;
    QStringList TemplateValues;
    qint32 EntryCount = 0;
    QList<WorkItem> WorkList_;
    QStringList ErrorLines_;
    QStringList LoginLines_;
    QStringList LogoutLines_;

    // A change to a row or the status bar, gathered on the worker. It names
    // its entry's row by the row's identity; the work index is only where
    // the row was when the pass started.
    struct Change {
        enum Kind : quint8 { StatusBar, Text, Publish } kind;
        qint32 row = 0;
        quint64 rowId = 0;
        qint32 column = 0;  // Text
        QString text;       // StatusBar, Text; Publish: the Status column
        qint32 image = 0;   // Publish
        EntryState state = StateUnconfirmed;  // Publish
    };
    QList<Change> Pending_;  // the worker's own, not handed over yet

    // Handed over, not yet applied; ApplyPosted: an event to apply them is
    // on its way to the main thread.
    std::mutex HandOverMutex_;
    QList<Change> HandedOver_;
    QStringList HandedErrors_, HandedLogins_, HandedLogouts_;
    bool ApplyPosted_ = false;

    // How many of each list's lines the main thread has been given, and how
    // many belong to published entries (the lines of an entry interrupted
    // before it is published never travel).
    qsizetype ErrorsPublished = 0, ErrorsReady = 0;
    qsizetype LoginsPublished = 0, LoginsReady = 0;
    qsizetype LogoutsPublished = 0, LogoutsReady = 0;
};
