#pragma once

// The message bar: notices of presentation level 1 scroll as one line of
// text along the bottom of the screen. Its thread only composes texts and
// counts time; every measurement and drawing happens on the main thread
// through blocking hand-offs to the host window, which draws what it is
// told. At most one bar runs.

#include "engine/EventKinds.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

class QWidget;

class MessageBar : public QThread {
    Q_OBJECT

public:
    // Draws the bar's text at (x, y) on the host. Main thread.
    using Draw = std::function<void(int x, int y, const QString &text)>;

    // A bar hosted by host (a notice of hostKind in bar layout), its step
    // from the host's screen and [Config] MessageSpeed.
    MessageBar(QWidget *host, NoticeKind hostKind, int speed, Draw draw);
    ~MessageBar() override;

    // The bar that runs in the process, if any. Main thread only.
    static MessageBar *Running() { return running_; }
    // Starts the thread and makes it the running bar.
    void Begin();

    // A kind's text, seconds and names (replacing what the kind had).
    void AddKind(NoticeKind kind, const QString &text, int seconds, const QStringList &names);
    // The all-event slots are emptied; the others lose the first entry equal
    // to each name.
    void RemoveNames(NoticeKind kind, const QStringList &names);
    // The text to scroll next: with advance, starting at the kind after the
    // current one; the first kind with names gives it. Empty when every list
    // is empty.
    QString NextText(bool advance);
    // The names a kind still has (tests and the notification menu).
    QStringList Names(NoticeKind kind) const;

    // Asks the thread to end after its current move.
    void Stop() { stop_ = true; }
    int Step() const { return step_; }
    NoticeKind HostKind() const { return hostKind_; }
    QWidget *Host() const { return host_; }
    // Milliseconds between two moves; 28 unless a test speeds it up.
    void SetMoveInterval(int ms) { interval_ = ms; }

protected:
    void run() override;

private:
    struct Slot {
        QString text;
        QStringList names;
        int seconds = 0;
    };

    static MessageBar *running_;

    mutable QMutex lock_;
    Slot slots_[NoticeKindCount];
    int current_ = 0; // slot
    QWidget *host_;
    const NoticeKind hostKind_;
    const Draw draw_;
    const int step_;
    const int top_;
    std::atomic<bool> stop_{false};
    std::atomic<int> interval_{28};
};

// Pixels per move: the whole part of (screen width / 1024 * 2 + 0.5), less 1
// for speed 0, plus 2 for speed 2; never below 1.
int MsgBarStep(int screenWidth, int speed);

// One kind's line: text「name、name」, then しました。 for the all-events,
// and a full-width space that wipes the trail of the previous
// position.
QString ComposeBarText(NoticeKind kind, const QString &text, const QStringList &names);
