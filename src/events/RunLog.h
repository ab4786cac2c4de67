#pragma once

// When Corvane watched: a small file beside the login records in which each
// watching run notes its start and its stop ("start 2026-12-06 09:30:00",
// "stop 2026-12-06 18:00:05", one line each). The records keep their format;
// the day report reads this file to know that a presence still open when
// Corvane stopped ended there, and that the logins and logouts a start
// records again are no new comings and goings.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

struct ProgramSettings;

struct RunMark {
    QDate Date;
    int Second = 0;  // of that day
    bool Start = true;
};

// The file: "Krovan.runs" in the folder of the login records.
QString RunLogPath(const ProgramSettings &settings);

// Notes a start or a stop; false when it could not be written.
bool AppendRunMark(const ProgramSettings &settings, bool start, const QDateTime &when);

// The marks of the file, in file order; lines that are not marks are
// skipped. A missing file gives none.
QList<RunMark> ReadRunMarks(const QString &path);
