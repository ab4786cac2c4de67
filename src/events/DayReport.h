#pragma once

// A day's presence as a picture: from one day's record files, who was in
// when (a bar per user over the 24 hours), the first login and last logout,
// the time present, the moments when everyone was in and when all were out,
// and the accesses to this machine's shares, as one self-contained HTML page
// (inline SVG and CSS, no script, nothing fetched).

#include "events/RecordReader.h"
#include "events/RunLog.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct ProgramSettings;
class WatchListModel;

inline constexpr int SecondsPerDay = 86400;

// One row of the watch list as the report orders its rows: separators are
// group headings; counted entries (the standard icon kind, as the all-login
// tally counts them) make up "everyone".
struct ReportListEntry {
    QString UserName;
    bool Separator = false;
    bool Counted = false;
};
QList<ReportListEntry> ReportListEntries(const WatchListModel &list);

// Seconds of the day, [From, To). OpenStart: present since before the day;
// OpenEnd: still present at the report's end (when it was made, or at 24:00
// of a past day: on into the next day); AtStop: ended because Corvane
// stopped watching.
struct PresenceStretch {
    int From = 0;
    int To = 0;
    bool OpenStart = false;
    bool OpenEnd = false;
    bool AtStop = false;
};

struct ReportRow {
    bool Heading = false; // a separator's label
    QString Name;
    QList<PresenceStretch> Stretches;
    int FirstLogin = -1; // second of the day; -1 none on the day
    int LastLogout = -1;
    int Total = 0;       // seconds present
};

struct ReportAccess {
    int Second = 0; // when the record was written
    QString Terminal;
    QString UserName;
    QString Share;
    QString Account;
    QStringList Files;
    QString ConnectTime;
    QString AccessTime;
};

struct DayReport {
    QDate Day;
    int End = SecondsPerDay; // the report's time: presence still open ends here
    QList<ReportRow> Rows;
    QList<PresenceStretch> AllIn;
    QList<PresenceStretch> AllOut;
    // When Corvane was stopped, as its run log tells: from a stop to the next
    // start, or to the report's end.
    QList<PresenceStretch> Unwatched;
    QList<ReportAccess> Accesses;
    QStringList Notes; // what could not be read
    bool NoRecords = false; // no record file of the day exists
};

// The second of day up to which a report made at now reaches: the whole of a
// past day, now on the day itself, nothing of a day still to come.
int ReportEnd(QDate day, const QDateTime &now);

// How many days before the report's day the records are read to know who
// was in at midnight.
inline constexpr int DaysLookedBack = 7;

// The report over the records and Corvane's starts and stops (of any days;
// those of the DaysLookedBack days before only tell who was in at
// midnight). A name comes in with a login while it is out and goes with the
// logout that leaves none of its terminals in (the list says how many carry
// it; a name it does not have, one), or when Corvane stops or starts again:
// so the logouts of people never in and the second logins of people in,
// which every start records, change nothing. Rows follow the list: every
// name of its counted entries (empty when never present) and the other
// names that were present, separators before them as headings, the names
// the list does not have after.
DayReport BuildDayReport(const QList<RecordBlock> &records, QDate day, int end,
                         const QList<ReportListEntry> &list, const QList<RunMark> &runs = {});

QString DayReportHtml(const DayReport &report);

// The report of day from the record files the settings name for it and for
// the DaysLookedBack days before (the login, logout and access files, each
// read once) and from the run log, made at now.
DayReport MakeDayReport(const ProgramSettings &settings, QDate day, const QDateTime &now,
                        const QList<ReportListEntry> &list);

// Where the menu writes the day's report: beside the login records, named as
// they are with ".html" (never over a record file).
struct DayReportTarget {
    QString name;
    QString path;
    bool valid = false;
};
DayReportTarget DayReportPath(const ProgramSettings &settings, QDate day);

// The page as UTF-8, written through a temporary file. False when it could
// not be written.
bool WriteDayReport(const QString &path, const QString &html);
