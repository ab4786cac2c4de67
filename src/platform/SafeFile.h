#pragma once

// The files Corvane writes and the record files it reads back. Record
// folders are often shared folders, and the system service runs as root:
// whoever can write there may plant a symbolic link, a FIFO or a folder
// where a record should be. So every such file is reached relative to its
// folder without following a link in its last component and without
// blocking, and must be a regular file; anything else is a failure (errno
// says which), never a write or a read elsewhere.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <optional>

namespace SafeFile {

// Replaces the file's contents: a temporary file beside it (created
// exclusively, written whole and flushed to disk) is renamed over the name
// itself, so that readers see the old contents or the new, and a link at the
// name is refused. A new file gets mode 0666 less the umask, an existing
// one keeps its mode. A private file (it holds secrets) is never readable
// by others, not even for a moment: a new one is made with mode 0600, an
// existing one keeps its mode less what group and others could do.
bool replace(const QString &path, QByteArrayView bytes, bool isPrivate = false);

// Appends the bytes in one unbuffered append under an exclusive lock of the
// file (another process may append too), creating the file when missing.
// When not every byte went out (a full disk), the file is cut back to its
// length before the append, so that no half block is left for the next one
// to run into.
//
// The caller never waits for the lock: anyone who can read the file can
// hold it. It is tried without blocking; when it is held, the bytes go to a
// writer thread that tries it again for a bounded time (appendLockWait) and
// then appends without it (one write on an O_APPEND descriptor, which the
// kernel keeps whole), saying so once in the journal for that file. Later
// appends to a file with bytes still waiting go after them, so that records
// keep their order. True when written or handed to the writer; a handed
// append that fails later is said in the journal.
//
// A private file (the program's own, such as its run log) is made 0600, and
// an existing one of this user loses what group and others could do.
bool append(const QString &path, QByteArrayView bytes, bool isPrivate = false);

// Waits until every append handed to the writer has been made: at most
// about appendLockWait after the last was handed over.
void finishAppends();

// How long a handed append waits for its lock; about a second unless a test
// says otherwise.
void setAppendLockWait(std::chrono::milliseconds wait);

// The contents of a regular file, or nothing (a link, a FIFO, a folder, a
// missing or unreadable file).
std::optional<QByteArray> read(const QString &path);

// Whether the name is a regular file, looked at without following a link.
bool isRegular(const QString &path);

} // namespace SafeFile
