#pragma once

// The access event: something new appeared among the sessions, connections
// or open files on this machine. Its actions run in a fixed order: manager
// report, sound, notice, record, the access list, the notification menu's
// access item.

#include "engine/EventKinds.h"

#include <QStringList>

struct ProgramSettings;
class EventActions;

// What the access event reaches outside the event code: the messenger, the
// notice table, the icon, the record file and the access list window. The
// main window implements it.
class AccessEventOutlets {
public:
    virtual ~AccessEventOutlets() = default;

    // The access report with the report list.
    virtual void ReportToManager(ReportKind kind, const QStringList &list) = 0;
    // Creates the access notice (kind 3, the given level and seconds, text
    // "アクセスしています。", the report list, the window that has the focus
    // now) unless one is open; an open one keeps what it shows.
    virtual void RaiseAccessNotice(int level, int seconds, const QStringList &reportList) = 0;
    // Makes the access notice's button that opens the access list visible.
    virtual void ShowOpenSessionButton() = 0;
    virtual void IconAlert(int seconds) = 0;
    virtual void ShowAccessNotice() = 0;
    // Record kind 2 from the detail lines (WriteRecord with the settings and
    // the clock of the moment).
    virtual void WriteAccessRecord(const QStringList &detailList) = 0;
    // Opens the access list window marked as opened by itself, unless it is
    // visible already.
    virtual void OpenAccessListAutomatically() = 0;
    virtual void EnableAccessMenuItem() = 0;
};

// The access event's actions as settings selects them. ending (the user's
// logon is ending) suppresses the notice and the menu item; sounds, reports
// and records still happen.
void RaiseAccessEvent(const QStringList &reportList, const QStringList &detailList, const ProgramSettings &settings,
                      bool ending, EventActions &actions, AccessEventOutlets &out);
