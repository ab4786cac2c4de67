#pragma once

// The text of a report's e-mail (RFC 5322 with MIME), and the addresses it
// may go from and to.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace ReportMail {

// Why the address cannot be used, or empty when it can: it must be ASCII,
// hold one '@' between a local part and a domain, and no blank, control
// character, '<', '>', ',', ';' or quote (nothing that could end a header line,
// add a recipient or leave the angle brackets of the envelope).
QString addressProblem(const QString &address);

// A Subject header's value: line breaks and other control characters
// become blanks; anything beyond ASCII (or what looks like an encoded
// word) is sent as RFC 2047 encoded words of UTF-8 in base64, each at most
// 75 characters, folded onto lines of their own.
QByteArray subjectHeader(const QString &subject);

// The whole message, lines ended by CRLF: Date (the time given, in its own
// offset; now when it is invalid), Message-ID, From, To, Subject, MIME
// headers and the text as text/plain in UTF-8, its lines ended by CRLF;
// base64 when the text is not ASCII or holds a line over 998 bytes, as it
// is otherwise.
QByteArray message(const QString &from, const QString &to, const QString &subject, const QString &text,
                   const QDateTime &time);

} // namespace ReportMail
