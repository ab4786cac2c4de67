#include "console/SessionListProxy.h"

#include "console/AccessListWindow.h"

int SessionListProxy::SelectedIndex() const
{
    return accessListWindow ? accessListWindow->SelectedIndex() : -1;
}

void SessionListProxy::SetRows(const AccessRowList &rows, int select)
{
    if (accessListWindow)
        accessListWindow->SetRows(rows, select);
}

bool SessionListProxy::IsShown() const
{
    return accessListWindow && accessListWindow->IsShown();
}

bool SessionListProxy::OpenedAutomatically() const
{
    return accessListWindow && accessListWindow->OpenedAutomatically();
}

void SessionListProxy::ShowAccessList(bool automatic)
{
    if (accessListWindow)
        accessListWindow->ShowAccessList(automatic);
}

void SessionListProxy::CloseList()
{
    if (accessListWindow)
        accessListWindow->CloseList();
}

void SessionListProxy::ShowScanFailure(const QString &why)
{
    if (accessListWindow)
        accessListWindow->ShowScanFailure(why);
}
