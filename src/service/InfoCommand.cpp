#include "service/InfoCommand.h"

#include <cstdio>

QByteArray UsageText()
{
    return "usage: corvane [NN] [Qt options such as -platform NAME]\n"
           "       corvane INSTALL [SILENT] | UNINSTALL [SILENT]\n"
           "       corvane REPORT [YYYY-MM-DD] [FILE]\n"
           "       corvane --help | --version\n"
           "\n"
           "Watches the computers of a small network and who uses this machine's shared\n"
           "folders. With a display the console opens; without one it watches headless.\n"
           "\n"
           "  NN         two digits: the icon variants of present (first digit) and\n"
           "             absent (second) terminals, kept in the settings\n"
           "  INSTALL    registers Corvane as a systemd service: the system's as root,\n"
           "             the user's otherwise\n"
           "  UNINSTALL  stops and removes that service\n"
           "  SILENT     with INSTALL or UNINSTALL: no confirmation\n"
           "  REPORT     writes the day report of today or of YYYY-MM-DD as HTML to\n"
           "             FILE, or to standard output\n"
           "\n"
           "Environment:\n"
           "  CORVANE_DIR           the program folder (settings Krovan.ini, list Krovan.NT)\n"
           "  CORVANE_NET_FIXTURE   a network tree file browsed instead of the network\n"
           "  CORVANE_SMB_CONF      the Samba configuration of the server watched\n"
           "  CORVANE_SMB_ADDRESS, CORVANE_SMB_PORT\n"
           "                        the SMB server every network message goes to\n"
           "  CORVANE_UNIT_DIR      where INSTALL and UNINSTALL write and remove the unit\n";
}

std::optional<int> RunInfoCommand(const QStringList &arguments)
{
    QByteArray text;
    for (const QString &argument : arguments) {
        if (argument == u"--help" || argument == u"-h") {
            text = UsageText();
            break;
        }
        if (argument == u"--version") {
            text = QByteArray(VersionText) + '\n';
            break;
        }
    }
    if (text.isEmpty())
        return std::nullopt;
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size())
        && std::fflush(stdout) == 0;
    return written ? 0 : 1;
}
