#include "events/windows/RecordCommands.h"

#include "config/Settings.h"
#include "events/DayReport.h"
#include "events/RecordFile.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

void ShowRecordNameWarning(QWidget *owner, const QString &name)
{
    auto *box = new QMessageBox(QMessageBox::Warning, AppTitle, InvalidRecordNameMessage(name), QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void OpenRecordFile(RecordKind kind, QWidget *owner)
{
    QString name;
    const RecordOpenResult r = OpenRecordPath(kind, Settings, QDate::currentDate(),
                                              [](const QString &path) {
                                                  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
                                              },
                                              &name);
    if (r == RecordOpenResult::InvalidName)
        QMessageBox::warning(owner, AppTitle, InvalidRecordNameMessage(name));
    else if (r == RecordOpenResult::CannotStart)
        QMessageBox::warning(owner, AppTitle, QCoreApplication::translate("RecordCommands", "起動できません！"));
}

void OpenDayReport(const WatchListModel &list, QWidget *owner)
{
    const QDateTime now = QDateTime::currentDateTime();
    const DayReportTarget target = DayReportPath(Settings, now.date());
    if (!target.valid) {
        QMessageBox::warning(owner, AppTitle, InvalidRecordNameMessage(target.name));
        return;
    }
    const QString html = DayReportHtml(MakeDayReport(Settings, now.date(), now, ReportListEntries(list)));
    if (!WriteDayReport(target.path, html))
        QMessageBox::critical(owner, AppTitle, QCoreApplication::translate("RecordCommands", "保存に失敗しました！"));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(target.path)))
        QMessageBox::warning(owner, AppTitle, QCoreApplication::translate("RecordCommands", "起動できません！"));
}
