#pragma once

// Event outlets that do nothing: a benchmarked pass measures the pass.

#include "engine/WatchEvents.h"

namespace bench {

class NoEvents : public WatchEvents {
public:
    void ReportToManager(ReportKind, const QStringList &) override {}
    bool NoticeExists(NoticeKind) override { return false; }
    void CreateNotice(NoticeKind, const QString &, const QStringList &, int) override {}
    void AddToNotice(NoticeKind, const QStringList &, int) override {}
    void ShowNotice(NoticeKind) override {}
    void EnableNoticeItem(NoticeKind) override {}
    void WriteRecord(RecordKind, const QStringList &) override {}
    void PlaySoundFile(const QString &, bool) override {}
    void StartProgram(const QString &) override {}
    void RequestShutdown(std::function<void()>) override {}
    void RunAction(const QString &, const QStringList &, bool) override {}
};

} // namespace bench
