#pragma once

// Reading the record files back: the text blocks and the XML elements that
// WriteRecord appends, as plain records. A record file is outside input (an
// operator may edit it, a disk may damage it, another program may have
// written it): whatever can be read is read, and what cannot is described
// in notes that name the line.

#include "engine/EventKinds.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

struct RecordedConnection {
    QString Share;
    QString Account;
    QStringList Files; // "share\path", as recorded
};

struct RecordedSession {
    QString UserName;
    QString Terminal;
    QString ConnectTime; // "hh:mm:ss", as recorded
    QString AccessTime;
    QList<RecordedConnection> Connections;
};

struct RecordBlock {
    RecordKind Kind = RecordKind::Login;
    QDate Date;      // the local date and time the record was written
    int Second = 0;  // of that day, 0-86399
    QStringList Names;              // login and logout: the user names
    QList<RecordedSession> Sessions; // access
};

// Moved, not copied, when a long list of records grows.
Q_DECLARE_TYPEINFO(RecordedConnection, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(RecordedSession, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(RecordBlock, Q_RELOCATABLE_TYPE);

struct RecordReading {
    QList<RecordBlock> Blocks; // in file order
    QStringList Notes;         // what could not be read, one line each
};

// Text records (code page 932, CR LF): header lines, names or access lines,
// and "." ending each block.
RecordReading ReadTextRecords(QByteArrayView bytes);

// XML records in any encoding their declaration names.
RecordReading ReadXmlRecords(const QByteArray &bytes);

// The file at path, read by its extension as WriteRecord writes it.
RecordReading ReadRecordFile(const QString &path);
