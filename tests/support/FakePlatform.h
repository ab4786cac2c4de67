#pragma once
// Recording stand-ins for the sound, process and shutdown services, safe to
// call from a worker thread.
#include "platform/ProcessStarter.h"
#include "platform/SoundPlayer.h"
#include "platform/SystemShutdown.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

struct FakeSoundPlayer : SoundPlayer {
    struct Call { QString name; bool wait; };
    bool Play(const QString &name, bool wait) override
    {
        std::lock_guard lock(m);
        calls.push_back({name, wait});
        return result;
    }
    std::mutex m;
    std::vector<Call> calls;
    bool result = true;
};

struct FakeProcessStarter : ProcessStarter {
    bool Start(const QString &program, const QStringList &arguments) override
    {
        std::lock_guard lock(m);
        calls.push_back(QStringList{program} + arguments);
        return true;
    }
    std::mutex m;
    std::vector<QStringList> calls;
};

struct FakeShutdown : SystemShutdown {
    bool CanPowerOff() override { log.push_back("can"); return allowed; }
    void PowerOff(Answer answer) override
    {
        log.push_back("poweroff");
        answer(accepts, refusal);
    }
    bool allowed = true;
    bool accepts = true;
    QString refusal;
    QStringList log;
};

// For tests in which nothing may power the machine off: the right is what
// the test says, and a request to use it fails the test.
struct NoPowerOff : SystemShutdown {
    explicit NoPowerOff(bool allowed = false) : allowed(allowed) {}
    bool CanPowerOff() override { return allowed; }
    void PowerOff(Answer answer) override
    {
        ADD_FAILURE() << "nothing in this test may power the machine off";
        answer(false, {});
    }
    bool allowed;
};
