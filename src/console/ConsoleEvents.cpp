#include "console/ConsoleEvents.h"

#include "config/Settings.h"
#include "events/EventActions.h"
#include "events/MessageQueue.h"
#include "events/RecordFile.h"
#include "events/windows/NoticeTable.h"
#include "events/windows/NoticeWindow.h"
#include "events/windows/RecordCommands.h"
#include "platform/Journal.h"

#include <QDateTime>

namespace {
const QString AccessNoticeText = QString::fromUtf8(QT_TRANSLATE_NOOP("Notice", "アクセスしています。"));
} // namespace

ConsoleEvents::ConsoleEvents(EventActions &actions, MessageQueue &sends, QWidget *owner)
    : actions_(actions), sends_(sends), owner_(owner)
{
}

void ConsoleEvents::ReportToManager(ReportKind kind, const QStringList &list)
{
    sends_.Report(kind, list);
}

bool ConsoleEvents::NoticeExists(NoticeKind kind)
{
    return NoticeWindows.IsOpen(kind);
}

void ConsoleEvents::CreateNotice(NoticeKind kind, const QString &caption, const QStringList &list, int seconds)
{
    // The all-events carry no names; their notice shows its own line.
    NoticeWindows.Raise(owner_, kind, Settings.Config.MessageLevel, seconds, caption,
                        IsAllEvent(kind) ? nullptr : &list, Settings.Config.MessageSpeed);
}

void ConsoleEvents::AddToNotice(NoticeKind kind, const QStringList &list, int seconds)
{
    if (NoticeWindow *notice = NoticeWindows.Notice(kind))
        notice->AddLines(list, seconds);
}

void ConsoleEvents::ShowNotice(NoticeKind kind)
{
    NoticeWindows.Show(kind);
}

void ConsoleEvents::EnableNoticeItem(NoticeKind kind)
{
    if (NoticeItemHook)
        NoticeItemHook(kind);
}

void ConsoleEvents::WriteRecord(RecordKind kind, const QStringList &list)
{
    QPointer<QWidget> owner = owner_;
    const QDateTime now = QDateTime::currentDateTime();
    if (!::WriteRecord(kind, list, Settings, now, [owner](const QString &name) { ShowRecordNameWarning(owner, name); }))
        JournalLine(JournalPriority::Warning, "record not written", RecordFilePath(kind, Settings, now.date()).path);
}

void ConsoleEvents::PlaySoundFile(const QString &file, bool wait)
{
    actions_.PlaySoundFile(file, wait);
}

void ConsoleEvents::StartProgram(const QString &commandLine)
{
    actions_.StartProgram(commandLine);
}

void ConsoleEvents::RequestShutdown(std::function<void()> refused)
{
    actions_.RequestShutdown(std::move(refused));
}

void ConsoleEvents::RunAction(const QString &action, const QStringList &values, bool wait)
{
    actions_.RunAction(action, values, wait);
}

void ConsoleEvents::RaiseAccessNotice(int level, int seconds, const QStringList &reportList)
{
    // An open access notice keeps what it shows.
    if (NoticeWindows.IsOpen(NoticeKind::Access))
        return;
    NoticeWindow *notice = NoticeWindows.Raise(owner_, NoticeKind::Access, level, quint16(seconds), AccessNoticeText,
                                            &reportList, Settings.Config.MessageSpeed);
    if (notice && OpenAccessListHook)
        notice->SetOpenSessionAction(OpenAccessListHook);
}

void ConsoleEvents::ShowOpenSessionButton()
{
    if (NoticeWindow *notice = NoticeWindows.Notice(NoticeKind::Access))
        notice->ShowOpenSessionButton();
}

void ConsoleEvents::IconAlert(int seconds)
{
    if (IconAlertHook)
        IconAlertHook(seconds);
}

void ConsoleEvents::ShowAccessNotice()
{
    NoticeWindows.Show(NoticeKind::Access);
}

void ConsoleEvents::WriteAccessRecord(const QStringList &detailList)
{
    WriteRecord(RecordKind::Access, detailList);
}

void ConsoleEvents::OpenAccessListAutomatically()
{
    if (OpenAccessListAutomaticallyHook)
        OpenAccessListAutomaticallyHook();
}

void ConsoleEvents::EnableAccessMenuItem()
{
    EnableNoticeItem(NoticeKind::Access);
}
