#pragma once

// Shutting this machine down. The real one is LogindShutdown; tests use a
// fake, so that no test can power a machine off.

#include <QString>

#include <functional>

class SystemShutdown {
public:
    // The outcome of a power-off request: accepted, or refused and why.
    using Answer = std::function<void(bool accepted, const QString &reason)>;

    virtual ~SystemShutdown() = default;

    // Whether this process may power the machine off.
    virtual bool CanPowerOff() = 0;
    // Asks for a power-off that does not wait for other programs. answer is
    // called once, on this thread, when the request is accepted or refused;
    // that may be before PowerOff returns, or later from the event loop (an
    // authentication agent may be asking the user in the meantime).
    virtual void PowerOff(Answer answer) = 0;
};
