#pragma once

// Process-wide state shared by the service object, the main window and the
// watch engine. All of it is set up before any window exists.

#include <QString>

#include <atomic>
#include <utility>

// The program directory with a trailing '/': the settings file, the
// watch-list file and the help live here.
extern QString ProgramDir;

// The service is running. Written by the service's start and stop requests,
// read by the timers on the main thread.
extern std::atomic<bool> ServiceRunning;

// The engine is busy (a pass, an access check, an all-login/all-logout
// action, or one of the console's modal windows). Main thread only. Read it
// anywhere; only WatchBusyMark sets and clears it.
extern bool WatchBusy;

// Holds WatchBusy while it lives: taken when made, given back when it ends
// or is released. Only a mark that found the flag clear gives it back, so a
// holder nested in another's (a dialog opened during a pass) neither clears
// the outer mark nor sets again a mark whose holder gave it back meanwhile.
// Moving a mark hands it over: a pass keeps its mark until its end handler.
class WatchBusyMark {
public:
    WatchBusyMark() : took_(!WatchBusy) { WatchBusy = true; }
    ~WatchBusyMark() { Release(); }
    WatchBusyMark(WatchBusyMark &&other) noexcept : took_(std::exchange(other.took_, false)) {}
    WatchBusyMark &operator=(WatchBusyMark &&other) noexcept
    {
        if (this != &other) {
            Release();
            took_ = std::exchange(other.took_, false);
        }
        return *this;
    }
    WatchBusyMark(const WatchBusyMark &) = delete;
    WatchBusyMark &operator=(const WatchBusyMark &) = delete;

    void Release()
    {
        if (std::exchange(took_, false))
            WatchBusy = false;
    }

    // The deferred start begins with the engine free, whatever was left
    // marked before it.
    static void ClearAtStart() { WatchBusy = false; }

private:
    bool took_;
};

// The watch worker is inside its run loop. The worker writes it and the main
// thread reads it, so it is atomic like ServiceRunning.
extern std::atomic<bool> WorkerRunning;

// The right to shut this machine down could be obtained at start.
extern bool ShutdownAllowed;

// The program directory: $CORVANE_DIR when set; otherwise the directory of
// the running executable when it holds Krovan.ini or this process may write
// it; otherwise $XDG_CONFIG_HOME/corvane (~/.config/corvane), created when
// missing. Always with a trailing '/'. Empty only when no executable path is
// known.
QString ResolveProgramDir();

// Full path of the running executable; empty when /proc is not mounted.
QString ExecutablePath();

// The same rule over its inputs: the environment value (may be empty) and the
// full path of the executable.
QString ProgramDirFrom(const QString &corvaneDir, const QString &executablePath);

// The application's title, also the caption of every message box.
inline const QString AppTitle = QStringLiteral("Corvane Ver 2.10a");
