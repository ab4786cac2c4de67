#pragma once

// Which operating system this machine and the watched computers run.
//
// The local platform decides the watch-list file, the server library, the
// messenger variant and whether a notification area can exist. The version
// record rule covers every platform identifier and version the stored files
// and the remote answers know; this machine itself is Linux, which maps to the
// NT family (family 2) and shows the distribution and kernel release.

#include <QByteArray>
#include <QString>

#include <functional>

class RemotePlatformQuery;

// 0 the 32-bit extension of a 16-bit system, 1 consumer family, 2 NT family,
// 3 unknown.
inline constexpr int LinuxFamily = 2;

// This machine's platform family, which picks the watch-list file, the
// server library and the messenger variant: Linux, so the NT family. Tests
// set the others to run their variants.
extern int PlatformFamily;

// What a version record says about its platform.
struct PlatformIdentity {
    QString Name;
    int Family = 3;
    // The NT family with major version 3 (no notification area).
    bool OldShell = false;
};

// The platform's version record (the extended form's suite mask included).
struct PlatformVersion {
    quint32 MajorVersion = 0;
    quint32 MinorVersion = 0;
    quint32 BuildNumber = 0;
    quint32 PlatformId = 0;  // 0 Win32s, 1 consumer family, 2 NT family
    QString ServiceText;     // the service-pack text, may be empty
    quint16 SuiteMask = 0;
};

inline constexpr quint16 SuitePersonal = 0x0200;
inline constexpr quint32 SV_TYPE_NT = 0x00001000;
inline constexpr quint32 SV_TYPE_WINDOWS = 0x00400000;

// The computer name that asks RemotePlatformName for this machine's text.
inline constexpr char GetMyOsVersion[] = "Get My OS Version";

// The platform the record describes.
PlatformIdentity IdentifyPlatform(const PlatformVersion &version);
inline QString PlatformName(const PlatformVersion &version) { return IdentifyPlatform(version).Name; }

// This machine: family 2 and "<distribution> <kernel release>".
PlatformIdentity LocalPlatform();
inline QString PlatformName() { return LocalPlatform().Name; }

// The Linux name over its inputs: PRETTY_NAME of os-release (or empty) and
// the kernel release.
QString LinuxPlatformName(const QString &prettyName, const QString &kernelRelease);

// One value of an os-release file (quotes and escapes removed); empty when
// the key is missing.
QString OsReleaseValue(const QByteArray &content, const QByteArray &key);

// The NetBIOS computer name for a host name: its first label, upper case,
// at most 15 characters (the name other machines see in the browse list).
QString NetbiosComputerName(const QString &hostName);

// The operating system of a watched computer, asked through the network's
// server list; this machine's own name, and GetMyOsVersion, give the local
// text. Never fails: an unanswered query gives an empty text, "WindowsNT ?"
// or "OS Unknown". localPlatform is this machine; by default LocalPlatform().
QString RemotePlatformName(const QString &computerName, const QString &domainName, RemotePlatformQuery &browser,
                           const std::function<PlatformIdentity()> &localPlatform = {});

// The name of a server's system from its platform identifier and type bits.
QString ServerTypeName(quint32 platformId, quint32 type);
