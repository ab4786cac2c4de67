#include "access/AccessRows.h"

size_t AddSessionRows(AccessRowList &rows, const AccessSession &session, int family)
{
    size_t terminal = rows.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Level == 0 && rows[i].Caption == session.Terminal) {
            terminal = i;
            break;
        }
    }
    if (terminal == rows.size())
        rows.push_back({0, 0, session.Terminal, {session.UserName, session.ConnectTime, session.AccessTime, QString()}});

    const auto endOfChildren = [&rows](size_t parent) {
        size_t end = parent + 1;
        while (end < rows.size() && rows[end].Level > rows[parent].Level)
            ++end;
        return end;
    };
    for (const AccessConnection &c : session.Connections) {
        const size_t at = endOfChildren(terminal);
        AccessRow row{1, 1, c.ShareName, {}};
        if (family == 2)
            row.Columns << c.Account;
        rows.insert(rows.begin() + qsizetype(at), std::move(row));
        for (const AccessFile &f : c.Files) {
            const size_t end = endOfChildren(at);
            bool shown = false;
            for (size_t i = at + 1; i < end && !shown; ++i)
                shown = rows[i].Level == 2 && rows[i].Caption == f.Path;
            if (!shown)
                rows.insert(rows.begin() + qsizetype(end), AccessRow{2, 2, f.Path, {}});
        }
    }
    return terminal;
}
