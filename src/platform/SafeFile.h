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
bool append(const QString &path, QByteArrayView bytes);

// The contents of a regular file, or nothing (a link, a FIFO, a folder, a
// missing or unreadable file).
std::optional<QByteArray> read(const QString &path);

// Whether the name is a regular file, looked at without following a link.
bool isRegular(const QString &path);

} // namespace SafeFile
