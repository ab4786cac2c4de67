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

// Appends one row per complete entry of the file. False (nothing added) when
// the file cannot be read.
bool LoadList(WatchListModel &list, const QString &path);

// Replaces the file with every row of the list. False when it cannot be
// written, in which case the old file is left as it was.
bool SaveList(const WatchListModel &list, const QString &path);

// The 15-character form of a dotted IPv4 address, each group right-aligned
// in three characters ("10.0.0.1" -> " 10.  0.  0.  1"). Empty text is
// accepted and leaves `out` alone; anything else that does not give that
// form is refused and `out` is not touched.
bool NormaliseAddress(const QString &text, QString &out);

// The IP check column's text for an entry.
QString IPCheckText(const QString &resourceName, bool ipCheck);
