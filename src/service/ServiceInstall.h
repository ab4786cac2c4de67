#pragma once

// Registering the service with systemd: "INSTALL" writes the unit
// krovan.service, "UNINSTALL" removes it, "SILENT" suppresses the
// confirmation. Neither starts the console.
//
// Root gets a system unit in /etc/systemd/system, headless, its program
// directory /var/lib/corvane unless CORVANE_DIR names one; anybody else a
// user unit in $XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user) that
// starts and ends with the desktop session. Both restart a failed program;
// UNINSTALL stops the service before it removes the unit.
// CORVANE_UNIT_DIR names another directory; then systemd is not told, so a
// unit can be written and removed without touching the running system.

#include <QString>
#include <QStringList>

enum class ServiceCommand { None, Install, Uninstall };

struct ServiceSwitches {
    ServiceCommand Command = ServiceCommand::None;
    bool Silent = false;
};

// The switches among the program's arguments (without the program name).
// Case does not matter and a leading "/" or "-" is allowed, as service hosts
// have always accepted them.
ServiceSwitches ParseServiceSwitches(const QStringList &arguments);

inline constexpr char UnitFileName[] = "krovan.service";
// The program directory of the system's unit (systemd's StateDirectory).
inline constexpr char SystemProgramDir[] = "/var/lib/corvane/";

// Where the unit goes: CORVANE_UNIT_DIR when set, else by systemUnit.
QString UnitDirectory(bool systemUnit);

// The unit that runs executable with CORVANE_DIR set to programDir.
QString UnitText(const QString &executable, const QString &programDir, bool systemUnit);

// One word of a unit's command line or environment assignment, quoted and
// escaped so that systemd reads it back unchanged.
QString SystemdQuote(const QString &word, bool commandLine);

// Write or remove the unit in unitDir. On failure, error says why.
bool InstallUnit(const QString &unitDir, const QString &executable, const QString &programDir, bool systemUnit,
                 QString &error);
bool UninstallUnit(const QString &unitDir, QString &error);

// Carries out an INSTALL or UNINSTALL for this process: writes or removes the
// unit, lets systemd reload its units when the unit directory is its own,
// and prints the confirmation unless silent. Returns the exit code.
int RunServiceCommand(const ServiceSwitches &switches, const QString &executable, const QString &programDir);
