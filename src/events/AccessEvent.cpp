#include "events/AccessEvent.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "events/EventActions.h"

void RaiseAccessEvent(const QStringList &reportList, const QStringList &detailList, const ProgramSettings &settings,
                      bool ending, EventActions &actions, AccessEventOutlets &out)
{
    const ProgramSettings::AccessSection &a = settings.Access;
    if (a.ManagerReport)
        out.ReportToManager(ReportKind::Access, reportList);
    if (a.PlayWave)
        actions.PlaySoundFile(a.WaveFile, settings.Config.WaitWave);
    if (a.ShowMsg && !ending) {
        out.RaiseAccessNotice(settings.Config.MessageLevel, a.ShowMsgTime, reportList);
        if (!a.OpenAccessList)
            out.ShowOpenSessionButton();
        if (settings.Config.MessageLevel >= NoticeLevel::IconAlert)
            out.IconAlert(a.ShowMsgTime);
        else
            out.ShowAccessNotice();
    }
    if (a.DoRecord)
        out.WriteAccessRecord(detailList);
    if (a.OpenAccessList)
        out.OpenAccessListAutomatically();
    if (!ending)
        out.EnableAccessMenuItem();
}
