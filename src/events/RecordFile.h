#pragma once

// The record files: the program's written history of logins, logouts and
// accesses, as CP932 text blocks or as elements of an XML document. Every
// input is passed in (settings, lines, the moment of the event), so nothing
// here reads the clock or the process-wide settings by itself.

#include "engine/EventKinds.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

struct ProgramSettings;

// Told the expanded file name when it holds a character no file name may
// have; the caller shows "ファイル名が不正です。\n" + name. Nothing is written.
using RecordNameWarning = std::function<void(const QString &name)>;

// %y four-digit year, %Y two-digit year, %m month, %d day (case matters);
// "%" and any other character gives that character; a "%" at the end is
// dropped.
QString ExpandRecordName(QStringView pattern, QDate date);

// False when the name holds any of \ / : , ; * ? " < > |.
bool IsValidRecordName(QStringView name);

// The text of the warning box for an invalid name.
QString InvalidRecordNameMessage(const QString &name);

// "2026/12/06(日)" and "09:05:00".
QString RecordDateText(QDate date);
QString RecordTimeText(QTime time);

// The file a record of kind goes to on date: the expanded RecordFile + "." +
// RecordFileExp, appended as it stands to RecordFolder (or the program
// directory when that is empty); no separator is put between them.
struct RecordTarget {
    QString name; // expanded, without the folder
    QString path;
    bool valid = false; // IsValidRecordName(name)
};
RecordTarget RecordFilePath(RecordKind kind, const ProgramSettings &settings, QDate date);

// A path whose extension is ".xml" in any case holds XML records.
bool IsXmlRecordPath(QStringView path);

// The lines of one text record: the header, the names (login and logout:
// each line's first TAB field) or the detail lines without their kind
// character (access), and ".". Control characters other than TAB are
// written as blanks, so that every record line is one line of the file; a
// line that would read as a header or an end gets one blank in front.
QStringList TextRecordLines(RecordKind kind, const QStringList &lines, const QDateTime &when);

// Whether a content line, after its leading blanks, begins with "[" or is
// ".": such a line is written with one blank more, and read without it.
bool TextRecordLineNeedsBlank(QStringView line);

// Appends one record of kind, made from lines (the pass's login or logout
// list, or the access detail lines), to its file as the settings name it.
// A missing file is created. False when the record could not be written; an
// XML file that cannot be loaded, parsed or saved is left exactly as it was.
// An XML file that this process saved last and nothing has touched since
// takes the record as text, in the bytes a full load and save would write.
bool WriteRecord(RecordKind kind, const QStringList &lines, const ProgramSettings &settings, const QDateTime &when,
                 const RecordNameWarning &invalidName);

// The operator's command to open today's record file of kind: the path as
// WriteRecord forms it, handed to open (the desktop's opening of a file with
// its program).
enum class RecordOpenResult { Opened, InvalidName, CannotStart };
RecordOpenResult OpenRecordPath(RecordKind kind, const ProgramSettings &settings, QDate date,
                                const std::function<bool(const QString &path)> &open, QString *name = nullptr);
