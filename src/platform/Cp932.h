#pragma once

// Windows code page 932 at every file and wire boundary.
//
// Texts are QString inside the program; the files and messages that other
// machines and older versions read are in code page 932 (never strict
// Shift_JIS, which loses ～ ① 髙 and turns 5C into ¥). Decoding never fails:
// an invalid or truncated byte sequence becomes U+FFFD and the rest of the
// input is decoded as usual. Encoding turns a character that has no code in
// the page into "?", as the platform's converter does.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Cp932 {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);

// True when every character of the text has a code in the page, so that
// encode() writes no "?" for it.
bool canEncode(QStringView text);

// Bytes the text takes in code page 932.
qsizetype byteLength(QStringView text);

// The longest prefix of the text that fits in maxBytes bytes; a double-byte
// character is never cut in half.
QString leftBytes(QStringView text, qsizetype maxBytes);

// The longest prefix of already encoded bytes that fits in maxBytes without
// splitting a double-byte character.
QByteArray leftBytes(QByteArrayView bytes, qsizetype maxBytes);

// True when the byte starts a double-byte character.
inline bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Byte-order comparison of the encoded texts (<0, 0, >0), as the platform's
// 8-bit string comparison does it.
int compareBytes(QStringView a, QStringView b);

} // namespace Cp932
