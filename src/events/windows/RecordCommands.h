#pragma once

// The record files' window side: the warning about an invalid record name and
// the operator's command that opens a record file.

class QWidget;
class QString;

// "ファイル名が不正です。\n" + name in a warning box. It does not wait to be
// closed: a record is written from the event code, which must not stop for an
// operator who may not be there (the box of a process without a display
// would never close).
void ShowRecordNameWarning(QWidget *owner, const QString &name);

// Opens today's record file of kind (0 login, 1 logout, 2 access) with the
// program the desktop associates with it; the notification menu's
// "ログを開く(&O)" items. An invalid name or a file that cannot be opened is
// reported in a box owned by owner.
void OpenRecordFile(int kind, QWidget *owner);
