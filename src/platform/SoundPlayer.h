#pragma once

// Plays a sound. The real player is CanberraSoundPlayer; tests use a fake.

#include <QString>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;

    // wait true: play and return when the sound has ended; the name is tried
    // as a system sound name first, then as a file name. wait false: start
    // the file and return at once; a sound that finds an earlier one of ours
    // still playing is dropped. True when the sound was played (or started).
    // Callable from any thread.
    virtual bool Play(const QString &name, bool wait) = 0;
};
