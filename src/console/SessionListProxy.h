#pragma once

// The access check's view of the access list window, which is created after
// the main window and may be gone before it: every call goes to the window
// while there is one.

#include "access/AccessListView.h"

class SessionListProxy : public AccessListView {
public:
    int SelectedIndex() const override;
    void SetRows(const AccessRowList &rows, int select) override;
    bool IsShown() const override;
    bool OpenedAutomatically() const override;
    void ShowAccessList(bool automatic) override;
    void CloseList() override;
    void ShowScanFailure(const QString &why) override;
};
