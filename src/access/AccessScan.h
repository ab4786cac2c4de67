#pragma once

// One scan of who uses this machine's shares, merged into the access tree,
// and the report built from the tree when something new has appeared.
//
// The NT-family scan (family 2, Linux) asks the server per session for its
// connections and per connection for its files. The consumer-family scan
// (family 1) works as that family's server library does: fixed buffers that
// cap how many entries one call returns, and one enumeration of all open
// files per scan, in which a file's user stands for the terminal.

#include "access/AccessSession.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class ServerApi;
class WatchListModel;

struct AccessScanOptions {
    int CheckLevel = 0;     // 0 sessions, 1 also connections, 2 also files
    int ReportLevel = 0;    // what makes a session count as new, same scale
    bool IPCNoChk = false;
    bool SysvolNoChk = false;
    bool MyPCNoChk = false;
    QString ComputerName;   // this machine's name, for MyPCNoChk
};

// Seconds as "hh:mm:ss", each part at least two digits; hours keep every
// digit they need (443045 -> "123:04:05").
QString FormatDuration(quint32 seconds);

// A file's path relative to its share: the share's path and the separator
// after it removed. A share path ending in a separator ("C:\", "/") gives
// that separator up as the one removed; otherwise one character after the
// share path is dropped. A file outside the share, or a share whose path is
// unknown, keeps its full path.
QString RelativeFilePath(const QString &fullPath, const QString &sharePath);

// The session of a terminal: Seen set on an existing one, or a new one
// appended with Seen and IsNew. Returns its index.
size_t FindOrAddSession(AccessSessions &list, const QString &terminal);
size_t FindOrAddConnection(AccessSession &session, const QString &shareName);
// Adds or marks a file; with a report level above 1 a new file makes its
// connection and session new, otherwise its own IsNew is cleared. index,
// when given, maps the connection's file paths to their places and is kept
// up to date (a client may hold thousands of files open: one lookup each,
// not a walk over all of them).
void FindOrAddFile(AccessSession &session, AccessConnection &connection, const QString &path, int reportLevel,
                   QHash<QString, size_t> *index = nullptr);

// Removes every record the last scan did not see and that has no children
// left; a parent kept for its children counts as seen.
void PruneUnseen(AccessSessions &list);

// One scan. rows are the watch list's rows and column the field of a row
// compared with a terminal's name; skipKnown leaves out terminals that are
// in the watch list. Nothing happens when the family is neither 1 nor 2.
// False, with the reason in failure, when the scan failed; without a list
// of sessions from the server the tree is left as it was.
bool ScanAccesses(AccessSessions &list, ServerApi &server, int family, const WatchListModel &rows, int column,
                  bool skipKnown, const AccessScanOptions &options, QString *failure = nullptr);

// What a scan reads of the watch list: each row's terminal name (the field
// named by column) with its user name, in the list's order. A scan off the
// main thread reads this copy, never the live list.
struct WatchedTerminal {
    QString Terminal;
    QString User;
};
using WatchedTerminals = std::vector<WatchedTerminal>;
WatchedTerminals WatchedTerminalsOf(const WatchListModel &rows, int column);

// The same scan over such a copy.
bool ScanAccesses(AccessSessions &list, ServerApi &server, int family, const WatchedTerminals &watched,
                  bool skipKnown, const AccessScanOptions &options, QString *failure = nullptr);

// Sessions that hold something new: their own IsNew, a new connection or a
// new file.
int CountNewSessions(const AccessSessions &list);

// Clears every IsNew and lists the whole tree: one "user TAB terminal" line
// per session in report, and the record's detail lines in detail. A TAB
// inside a name or path is listed as a blank. Every session and connection
// is listed; files only while the detail holds fewer than
// MaxAccessDetailLines lines, and a connection whose files were cut ends
// with one line that says how many were left out, so that a client holding
// thousands of files open cannot make every record megabytes long.
void BuildAccessReport(AccessSessions &list, QStringList &report, QStringList &detail);

inline constexpr qsizetype MaxAccessDetailLines = 1000;
