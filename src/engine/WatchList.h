#pragma once

// Reading and writing watch entries through the rows of the list, and the
// watch-list file that keeps them between runs.
//
// The file is code page 932 text, CR LF line ends, five lines per entry:
//   1  resource name TAB address TAB IP check TAB kind TAB top TAB left TAB MAC
//   2  user name
//   3  login action
//   4  logout action
//   5  domain TAB provider
// State, status text, file order, image and Result are never stored.
//
// A file written by hand on Linux is usually UTF-8: one with a byte-order
// mark, or one that is valid UTF-8 and holds a character of three or more
// bytes (every kana and kanji; real CP932 Japanese text practically never
// is valid UTF-8 with one, while two half-width kana often make a valid
// two-byte character), is read as UTF-8 and written back in CP932 at the
// next save. Anything else is CP932, the file's own format.

#include "engine/WatchEntry.h"

#include <QString>

class WatchListModel;

// Decodes a row; false only when there is no such row.
bool ReadEntry(const WatchListModel &list, int row, WatchEntry &entry);

// Stores every field into an existing row, icon position included.
void WriteEntry(const WatchEntry &entry, WatchListModel &list, int row);

// Appends a row; the icon position is taken only where it is not negative,
// so that the view places new icons itself.
bool AddEntry(const WatchEntry &entry, WatchListModel &list);

// How a list file's bytes were read.
enum class ListEncoding { Cp932, Utf8, Damaged };

// The text of a list file's bytes and how it was read: Damaged when they
// are neither UTF-8 nor clean CP932 text (an invalid sequence, or control
// characters other than TAB, CR and LF); what could be read still comes
// back, decoded as CP932.
QString DecodeListText(const QByteArray &bytes, ListEncoding &encoding);

// Appends one row per complete entry of the file. False (nothing added) when
// the file cannot be read. A UTF-8 or a damaged file is loaded with one
// journal line that says so.
bool LoadList(WatchListModel &list, const QString &path);

// Replaces the file with every row of the list. False when it cannot be
// written, in which case the old file is left as it was; a text with a
// character that code page 932 cannot hold is never written as "?": the
// save fails (errno EILSEQ) and `unencodable` receives that text.
bool SaveList(const WatchListModel &list, const QString &path, QString *unencodable = nullptr);

// The 15-character form of a dotted IPv4 address, each group right-aligned
// in three characters ("10.0.0.1" -> " 10.  0.  0.  1"). Empty text is
// accepted and leaves `out` alone; anything else that does not give that
// form is refused and `out` is not touched.
bool NormaliseAddress(const QString &text, QString &out);

// The IP check column's text for an entry.
QString IPCheckText(const QString &resourceName, bool ipCheck);
