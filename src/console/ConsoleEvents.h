#pragma once

// Where the events of a watch pass and of the access check go in the running
// program: the real sounds and programs, the record files, the reports to
// the managers and the notice windows. The main window owns one and hands
// it to the watch engine and to the access event; the icon, the
// notification menu and the access list stay the window's own business and
// are reached through the hooks below.

#include "engine/WatchEvents.h"
#include "events/AccessEvent.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class EventActions;
class MessageQueue;

class ConsoleEvents : public WatchEvents, public AccessEventOutlets {
public:
    // owner is the notices' owner and the parent of the record-name warning.
    ConsoleEvents(EventActions &actions, MessageQueue &sends, QWidget *owner);

    // The icon alert of the engine (IconAlert with seconds).
    std::function<void(int seconds)> IconAlertHook;
    // The notification menu's item of a notice kind is to be offered.
    std::function<void(NoticeKind kind)> NoticeItemHook;
    // The access list shown by the operator's button on the access notice.
    std::function<void()> OpenAccessListHook;
    // The access list opened by the access event itself.
    std::function<void()> OpenAccessListAutomaticallyHook;

    // Shared by both interfaces.
    void ReportToManager(ReportKind kind, const QStringList &list) override;

    // WatchEvents
    bool NoticeExists(NoticeKind kind) override;
    void CreateNotice(NoticeKind kind, const QString &caption, const QStringList &list, int seconds) override;
    void AddToNotice(NoticeKind kind, const QStringList &list, int seconds) override;
    void ShowNotice(NoticeKind kind) override;
    void EnableNoticeItem(NoticeKind kind) override;
    void WriteRecord(RecordKind kind, const QStringList &list) override;
    void PlaySoundFile(const QString &file, bool wait) override;
    void StartProgram(const QString &commandLine) override;
    void RequestShutdown(std::function<void()> refused) override;
    void RunAction(const QString &action, const QStringList &values, bool wait) override;

    // AccessEventOutlets
    void RaiseAccessNotice(int level, int seconds, const QStringList &reportList) override;
    void ShowOpenSessionButton() override;
    void IconAlert(int seconds) override;
    void ShowAccessNotice() override;
    void WriteAccessRecord(const QStringList &detailList) override;
    void OpenAccessListAutomatically() override;
    void EnableAccessMenuItem() override;

private:
    EventActions &actions_;
    MessageQueue &sends_;
    QPointer<QWidget> owner_;
};
