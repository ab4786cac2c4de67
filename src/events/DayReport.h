#pragma once

// A day's presence as a picture: from one day's record files, who was in
// when (a bar per user over the 24 hours), the first login and last logout,
// the time present, the moments when everyone was in and when all were out,
// and the accesses to this machine's shares, as one self-contained HTML page
// (inline SVG and CSS, no script, nothing fetched).

#include "events/RecordReader.h"

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
// OpenEnd: still present when the report was made.
struct PresenceStretch {
    int From = 0;
    int To = 0;
    bool OpenStart = false;
    bool OpenEnd = false;
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
    QList<ReportAccess> Accesses;
    QStringList Notes; // what could not be read
};

// The second of day up to which a report made at now reaches: the whole of a
// past day, now on the day itself, nothing of a day still to come.
int ReportEnd(QDate day, const QDateTime &now);

// The report over the records (of any days; the earlier ones only tell who
// was in at midnight). Rows follow the list: its names where they occur in
// the records, separators before them as headings, the other names after.
// A logout with no login before it means present since midnight.
DayReport BuildDayReport(const QList<RecordBlock> &records, QDate day, int end,
                         const QList<ReportListEntry> &list);

QString DayReportHtml(const DayReport &report);

// The report of day from the record files the settings name for it (the
// login, logout and access files, each read once), made at now.
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
