#pragma once

// What a watch worker hands to the main thread: its row changes, the status
// bar text and the lines of the entries it has published. The worker and the
// engine both hold it, so an apply that arrives after the worker has gone
// still finds its changes; once the engine detaches it, nothing more reaches
// the rows or the engine.
//
// The worker hands its gathered changes over without waiting; the main
// thread applies everything handed over so far in one sweep, posted once per
// batch, so a main thread that is behind finds more there rather than more
// events.

#include "engine/WatchEntry.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class WatchListModel;

class PassHandOver : public std::enable_shared_from_this<PassHandOver> {
public:
    // A change to a row or the status bar. It names its entry's row by the
    // row's identity; the work index is only where the row was when the pass
    // started.
    struct Change {
        enum Kind : quint8 { StatusBar, Text, FillMAC, Publish } kind;
        qint32 row = 0;
        quint64 rowId = 0;
        qint32 column = 0;  // Text
        QString text;       // StatusBar, Text, FillMAC; Publish: the Status column
        qint32 image = 0;   // Publish
        EntryState state = StateUnconfirmed;  // Publish
        quint8 misses = 0;                    // Publish
        quint8 seenBy = 0;                    // Publish
    };

    // Main thread: the status bar text.
    using StatusBarFn = std::function<void(const QString &)>;
    // Main thread: the error, login and logout lines published entries
    // added, and for each login line how the terminal was seen when it was
    // not by an echo or a browse list ("ARP", "TCP 445"), else empty.
    using LinesFn = std::function<void(const QStringList &errors, const QStringList &logins,
                                       const QStringList &loginWays, const QStringList &logouts)>;

    // The model's thread applies; the model outlives the pass.
    PassHandOver(WatchListModel *model, StatusBarFn statusBar, LinesFn publishLines);

    // Whether progress texts are wanted at all.
    bool ShowsProgress() const { return static_cast<bool>(statusBar_); }

    // Worker: adds to what is handed over, and posts an apply unless one is
    // on its way.
    void Hand(QList<Change> &&changes, QStringList errors, QStringList logins, QStringList loginWays,
              QStringList logouts);

    // Main thread: applies everything handed over so far. An apply started
    // from inside one of its own callbacks finishes the sweep in progress.
    void Apply();

    // Main thread: the engine is done with the pass; nothing handed over
    // afterwards is applied.
    void Detach() { detached_ = true; }

private:
    void TakeHandedOver();

    WatchListModel *model_;
    StatusBarFn statusBar_;
    LinesFn publishLines_;
    bool detached_ = false;

    std::mutex mutex_;
    std::deque<Change> handed_;
    QStringList handedErrors_, handedLogins_, handedLoginWays_, handedLogouts_;
    bool applyPosted_ = false;

    // The sweep in progress (main thread): what is applied leaves it.
    std::deque<Change> sweep_;
    QStringList errors_, logins_, loginWays_, logouts_;
};
