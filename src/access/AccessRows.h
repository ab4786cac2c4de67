#pragma once

// The rows the access list shows: the access tree flattened into a list of
// levelled rows (0 terminal, 1 share, 2 file), each with its image and its
// further columns, in the order the list draws them.

#include "access/AccessSession.h"

#include <QString>
#include <QStringList>

#include <vector>

struct AccessRow {
    int Level = 0;        // 0 terminal, 1 connection, 2 file
    int Image = 0;        // 0 terminal, 1 folder, 2 file
    QString Caption;
    QStringList Columns;  // the further columns, in order
};

using AccessRowList = std::vector<AccessRow>;

// The further column of a terminal row that shows the greeting's outcome.
inline constexpr int AccessMessageColumn = 3;

// Adds the rows of one session: its terminal row (or the existing one with
// the same caption), a row per connection after the terminal's last
// descendant (with the account on the NT family) and a row per file below
// its connection, unless the connection already shows that file. Returns
// the index of the terminal row.
size_t AddSessionRows(AccessRowList &rows, const AccessSession &session, int family);
