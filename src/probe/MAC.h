#pragma once

// Hardware addresses: six bytes in wire order, written as six two-digit
// hexadecimal numbers joined by ":" (00:0A:1B:2C:3D:4E), and the magic
// packet that wakes the machine owning one.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

using MAC = std::array<quint8, 6>;

// Upper-case text with ":" between the bytes.
QString FormatMAC(const MAC &mac);

// Exactly six parts at ":", each a hexadecimal number of one byte (either
// case; "0x" is already implied). Anything else gives no address.
std::optional<MAC> ParseMAC(const QString &text);

// A MAC as a watch list may hold it: FormatMAC's text or one written by
// hand, in either case, its bytes joined by ":" or "-" (or by nothing, or
// in dotted groups of four digits), spaces anywhere. Anything else gives no
// address.
std::optional<MAC> ReadListedMAC(const QString &text);

// 102 bytes: six 0xFF, then the address sixteen times.
QByteArray MagicPacket(const MAC &mac);
