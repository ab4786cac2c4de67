#pragma once

// Sounds through libcanberra: a system sound by its event id (the desktop's
// sound theme), a file by its name. A machine without a sound device only
// fails to play; nothing waits for it.

#include "platform/SoundPlayer.h"

#include <QString>

#include <memory>

class CanberraSoundPlayer : public SoundPlayer {
public:
    CanberraSoundPlayer();
    ~CanberraSoundPlayer() override;

    bool Play(const QString &name, bool wait) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
