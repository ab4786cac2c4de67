#pragma once

// The watch as other systems see it: the terminals of the list with their
// state, the access list's sessions and the watch's counters, taken on the
// main thread whenever they change and never changed afterwards. Readers on
// any thread (the HTTP endpoint's, the MQTT client's) hold a snapshot as
// long as they use it; publishing a new one never waits for them.

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct TerminalState {
    QString resource;  // the resource (computer) name, without a finder's "*"
    QString user;
    QString group;     // the separator above the entry, empty before the first
    QString address;   // dotted, without padding; empty when none is known
    // "in", "out", "error", "resting" or "unknown" (not checked yet).
    QString state;
    // When this run last saw the state change; invalid when it has not.
    QDateTime since;
    // How it was last seen present: "echo", "browse list", "discovery",
    // "arp", "tcp"; empty when it was not.
    QString seenBy;
};

struct SessionState {
    QString user;
    QString terminal;   // the client computer
    QString shares;     // the shares it uses, comma-separated
    qint64 connectedSeconds = 0;
    qint64 idleSeconds = 0;
};

// The kinds of events counted since the start, in this order.
enum class CountedEvent : int { Login, Logout, Error, AllLogin, AllLogout, Access, Count };
inline constexpr std::array<const char *, 6> CountedEventNames{"login", "logout", "error", "all-login", "all-logout",
                                                               "access"};

struct WatchSnapshot {
    QDateTime taken;
    QList<TerminalState> terminals;  // in list order, separators left out
    QList<SessionState> sessions;
    double lastPassSeconds = 0;      // how long the last applied pass took
    quint64 passes = 0;              // passes applied since the start
    std::array<quint64, size_t(CountedEvent::Count)> events{};
    QString computer;                // this computer's name
    QString language;                // the console's language: "ja" or "en"
};

using WatchSnapshotPtr = std::shared_ptr<const WatchSnapshot>;

// Where the main thread puts the latest snapshot and readers take it.
class SnapshotBoard {
public:
    void publish(WatchSnapshotPtr snapshot)
    {
        std::lock_guard lock(mutex_);
        current_ = std::move(snapshot);
        due_ = false;
        version_.fetch_add(1, std::memory_order_release);
    }
    // While no other thread reads the board, a snapshot of a long list
    // taken after every change would only cost: due() drops the one held
    // and notes that a new one is due instead, and current() called on the
    // thread that gave make takes it then.
    void makeWhenAsked(std::function<WatchSnapshotPtr()> make)
    {
        std::lock_guard lock(mutex_);
        make_ = std::move(make);
        maker_ = std::this_thread::get_id();
    }
    void due()
    {
        std::lock_guard lock(mutex_);
        current_.reset();
        due_ = true;
        version_.fetch_add(1, std::memory_order_release);
    }
    WatchSnapshotPtr current() const
    {
        std::unique_lock lock(mutex_);
        if (due_ && make_ && std::this_thread::get_id() == maker_) {
            lock.unlock();
            WatchSnapshotPtr made = make_();
            lock.lock();
            // Nothing else publishes meanwhile: only this thread does.
            current_ = std::move(made);
            due_ = false;
        }
        return current_ ? current_ : std::make_shared<const WatchSnapshot>();
    }
    // Grows with every publish and every due(): a reader that polls sees
    // whether anything changed without taking the snapshot.
    quint64 version() const { return version_.load(std::memory_order_acquire); }

private:
    mutable std::mutex mutex_;
    mutable WatchSnapshotPtr current_;
    mutable bool due_ = false;
    std::function<WatchSnapshotPtr()> make_;
    std::thread::id maker_;
    std::atomic<quint64> version_{0};
};
