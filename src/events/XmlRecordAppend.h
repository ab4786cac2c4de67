#pragma once

// The XML record files: each record is an element appended to the root of
// the day's document, written in the settings' encoding with their
// stylesheet named. The whole file is loaded and saved, unless it is still
// exactly what this process saved last: then the record goes in as text, in
// the bytes the full load and save would write.

#include "engine/EventKinds.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

struct ProgramSettings;

// Appends one record of kind made from lines to the XML file at
// path; a missing file is created. False when the record could not be
// written; a file that cannot be loaded, parsed or saved is left exactly as
// it was.
bool WriteXmlRecord(const QString &path, RecordKind kind, const QStringList &lines, const ProgramSettings &settings,
                    const QDateTime &when);

// Forgets the XML record files this process saved last and would append to
// without loading them again; the next record to each loads and saves the
// whole file. For tests that compare the two ways. The number forgotten.
int ForgetXmlRecordFiles();
