#pragma once

// Shutting this machine down. The real one is LogindShutdown; tests use a
// fake, so that no test can power a machine off.

class SystemShutdown {
public:
    virtual ~SystemShutdown() = default;

    // Whether this process may power the machine off.
    virtual bool CanPowerOff() = 0;
    // Asks for a power-off that does not wait for other programs. True when
    // the request was accepted.
    virtual bool PowerOff() = 0;
};
