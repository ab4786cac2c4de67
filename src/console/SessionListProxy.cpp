#include "console/SessionListProxy.h"

#include "console/TfmSession.h"

int SessionListProxy::SelectedIndex() const
{
    return fmSession ? fmSession->SelectedIndex() : -1;
}

void SessionListProxy::SetRows(const AccessRowList &rows, int select)
{
    if (fmSession)
        fmSession->SetRows(rows, select);
}

bool SessionListProxy::IsShown() const
{
    return fmSession && fmSession->IsShown();
}

bool SessionListProxy::OpenedAutomatically() const
{
    return fmSession && fmSession->OpenedAutomatically();
}

void SessionListProxy::ShowAccessList(bool automatic)
{
    if (fmSession)
        fmSession->ShowAccessList(automatic);
}

void SessionListProxy::CloseList()
{
    if (fmSession)
        fmSession->CloseList();
}

void SessionListProxy::ShowScanFailure(const QString &why)
{
    if (fmSession)
        fmSession->ShowScanFailure(why);
}
