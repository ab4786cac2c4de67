#pragma once

// What the access check needs of the access list window. The window
// implements it; tests use a fake.

#include "access/AccessRows.h"

class AccessListView {
public:
    virtual ~AccessListView() = default;
    // The index of the selected row, -1 when none.
    virtual int SelectedIndex() const = 0;
    // Replaces every row; select is a row to select again, or -1.
    virtual void SetRows(const AccessRowList &rows, int select) = 0;
    virtual bool IsShown() const = 0;
    virtual bool OpenedAutomatically() const = 0;
    // Shows, restores and raises the window; automatic tells whether the
    // access check rather than the operator opens it.
    virtual void ShowAccessList(bool automatic) = 0;
    // Closes (hides) the window as its close button does.
    virtual void CloseList() = 0;
    // Why the scans see nothing (the server's status cannot be read); an
    // empty text once they work again.
    virtual void ShowScanFailure(const QString &why) { Q_UNUSED(why); }
};
