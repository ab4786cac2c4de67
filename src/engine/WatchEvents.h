#pragma once

// What the watch engine asks of the rest of the program when a pass raises
// events: reports to the manager, notice windows, records, sounds, programs
// and the shutdown. The main window wires the real ones; tests record the
// calls. None of them reports a failure back: an action that does not work
// out is the action's own business.
//
// Everything here is called on the main thread, except RunAction, which the
// watch worker calls from its own thread for the entries' login and logout
// actions.

#include "engine/EventKinds.h"

#include <QString>
#include <QStringList>

#include <functional>

class WatchEvents {
public:
    virtual ~WatchEvents() = default;

    // The network message to the managers; an empty list for the events
    // that carry none.
    virtual void ReportToManager(ReportKind kind, const QStringList &list) = 0;

    // Whether the notice window of a kind is open.
    virtual bool NoticeExists(NoticeKind kind) = 0;
    // Creates the notice of a kind (not shown yet); it remembers the window
    // that had the focus just before. An empty list for the all-events.
    virtual void CreateNotice(NoticeKind kind, const QString &caption, const QStringList &list, int seconds) = 0;
    // Adds lines to an open login or logout notice and restarts its time.
    virtual void AddToNotice(NoticeKind kind, const QStringList &list, int seconds) = 0;
    // Shows the notice of a kind, placing it beside or below its partner
    // notice where they would cover each other.
    virtual void ShowNotice(NoticeKind kind) = 0;
    // Enables the notification menu's item that reopens the notice of a kind.
    virtual void EnableNoticeItem(NoticeKind kind) = 0;

    // Writes a record of the login or logout lines.
    virtual void WriteRecord(RecordKind kind, const QStringList &list) = 0;

    virtual void PlaySoundFile(const QString &file, bool wait) = 0;
    virtual void StartProgram(const QString &commandLine) = 0;
    // Shuts the machine down and ends the message loop. When the shutdown is
    // refused the program goes on, and refused is called (maybe later, from
    // the message loop).
    virtual void RequestShutdown(std::function<void()> refused) = 0;

    // An entry's own login or logout action (a sound or a command) with the
    // values of its letters (EntryTemplateLetters), filled in by the one who
    // runs it. Called from the watch worker's thread.
    virtual void RunAction(const QString &action, const QStringList &values, bool wait) = 0;
};
