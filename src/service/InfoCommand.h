#pragma once

// "--help" (or "-h") and "--version": what the program is and how it is
// started, or its version, on standard output. They are answered before
// anything else happens: no settings are read, no folder is made, nothing
// is watched.

#include <QByteArray>
#include <QStringList>

#include <optional>

inline constexpr char VersionText[] = "Corvane 2.10a";

// The usage text: the commands, the icon argument and the environment.
QByteArray UsageText();

// When an argument asks for the usage or the version: prints it and gives
// the exit code (0, or 1 when standard output could not take it). Nothing
// otherwise.
std::optional<int> RunInfoCommand(const QStringList &arguments);
