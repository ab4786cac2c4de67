#pragma once

// The record files' window side: the warning about an invalid record name and
// the operator's command that opens a record file.

#include "engine/EventKinds.h"

class QWidget;
class QString;
class WatchListModel;

// "ファイル名が不正です。\n" + name in a warning box. It does not wait to be
// closed: a record is written from the event code, which must not stop for an
// operator who may not be there (the box of a process without a display
// would never close).
void ShowRecordNameWarning(QWidget *owner, const QString &name);

// Opens today's record file of kind with the
// program the desktop associates with it; the notification menu's
// "ログを開く(&O)" items. An invalid name or a file that cannot be opened is
// reported in a box owned by owner.
void OpenRecordFile(RecordKind kind, QWidget *owner);

// Writes today's report over the day's records, with the rows in the order
// of list, beside the records (DayReportPath) and opens it in the desktop's
// browser; the notification menu's "レポート(&R)". An invalid name, a report
// that cannot be written or a browser that cannot be started is reported in
// a box owned by owner.
void OpenDayReport(const WatchListModel &list, QWidget *owner);
