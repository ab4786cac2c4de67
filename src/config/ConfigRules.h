#pragma once

// The rules the settings dialog applies between the settings record and its
// controls, kept apart from the widgets so that they can be checked alone.

#include "config/SettingValues.h"

#include <QString>
#include <QtGlobal>

// What an up-down shows for a stored value: the value's low `bits` bits
// (the control's position is a 16-bit number, the TTL box an 8-bit one),
// clamped to the control's range.
int UpDownPosition(qint64 stored, int bits, int minimum, int maximum);

// A stored action the event can run, or Nothing for any other value.
qint32 ValidAllEventAction(qint32 action, bool logout);

// The access report level never exceeds the check level. A check level
// lowered below the report level takes the report level down with it; a
// report level raised above the check level takes the check level up.
void CheckLevelChosen(qint32 check, qint32 &report);
void ReportLevelChosen(qint32 report, qint32 &check);

// A record extension the program can write without an XML engine: "XML" in
// any case becomes "log", anything else stays.
QString RecordExtensionWithoutXml(const QString &extension);

// A record folder as it is stored: the record name is appended to it as it
// stands, so a chosen folder keeps a trailing separator.
QString RecordFolderText(const QString &folder);

