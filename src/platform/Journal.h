#pragma once

// The operator's log: one line on standard error per event, failed action,
// failed scan and refused right, in one fixed form that grep finds:
//
//     corvane: login: tanaka (PC01)
//     corvane: access scan failed: smbstatus exited with code 1
//
// Under systemd standard error is the journal; the line then starts with
// the priority ("<4>") that the journal takes from it and strips.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class JournalPriority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// Writes "corvane: WHAT: TEXT" (or "corvane: WHAT" for an empty text) and
// flushes it. Control characters in the text (a name a client chose) are
// written as blanks, so no text can start a line of its own.
void JournalLine(JournalPriority priority, const char *what, const QString &text = {});

// Writes "corvane: MESSAGE": the program's own word on its run (that it
// watches, that it stopped), with control characters blanked as above.
void JournalMessage(JournalPriority priority, const QString &message);

// One line per "user TAB resource" line of an event list, as
// "corvane: WHAT: user (resource)".
void JournalEntries(JournalPriority priority, const char *what, const QStringList &lines);

// The line JournalLine writes, with its newline; withPriority adds the
// journal's priority prefix.
QByteArray JournalText(JournalPriority priority, const char *what, const QString &text, bool withPriority);

// True when standard error is the journal's stream (systemd names it in
// JOURNAL_STREAM as "device:inode").
bool StandardErrorIsJournal();
