#include "platform/ReportMail.h"

#include <QRandomGenerator>
#include <QStringList>

namespace ReportMail {

namespace {

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// "Tue, 04 Mar 2025 09:30:00 +0900", in English whatever the locale.
QByteArray dateHeader(const QDateTime &when)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime t = when.isValid() ? when : QDateTime::currentDateTime();
    const QDate d = t.date();
    const QTime h = t.time();
    const int offset = t.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    return QByteArray(days[d.dayOfWeek() - 1]) + ", " + QByteArray::number(d.day()).rightJustified(2, '0') + ' ' +
           months[d.month() - 1] + ' ' + QByteArray::number(d.year()) + ' ' +
           QByteArray::number(h.hour()).rightJustified(2, '0') + ':' +
           QByteArray::number(h.minute()).rightJustified(2, '0') + ':' +
           QByteArray::number(h.second()).rightJustified(2, '0') + ' ' + (offset < 0 ? '-' : '+') +
           QByteArray::number(absOffset / 60).rightJustified(2, '0') +
           QByteArray::number(absOffset % 60).rightJustified(2, '0');
}

QByteArray messageId(const QString &from)
{
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    const QByteArray token = QByteArray(reinterpret_cast<const char *>(random), sizeof random).toHex();
    const qsizetype at = from.lastIndexOf(u'@');
    const QByteArray domain = at > 0 ? from.mid(at + 1).toLatin1() : QByteArrayLiteral("corvane.invalid");
    return '<' + QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '.' + token + '@' + domain + '>';
}

// The text's lines, each ended by CRLF (a CR before an LF is dropped first,
// so text with either ending comes out the same).
QByteArray crlfLines(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 32 + 2);
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        out += line + "\r\n";
    }
    return out;
}

bool hasLongLine(const QByteArray &crlfText)
{
    qsizetype start = 0;
    while (start < crlfText.size()) {
        const qsizetype end = crlfText.indexOf("\r\n", start);
        if ((end < 0 ? crlfText.size() : end) - start > 998)
            return true;
        if (end < 0)
            break;
        start = end + 2;
    }
    return false;
}

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + "\r\n";
    return out;
}

} // namespace

QString addressProblem(const QString &address)
{
    if (address.isEmpty())
        return QStringLiteral("no address");
    for (QChar c : address) {
        if (c.unicode() >= 0x80)
            return QStringLiteral("an address beyond ASCII");
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("a blank or control character in the address");
        if (c == u'<' || c == u'>' || c == u',' || c == u'"' || c == u';')
            return QStringLiteral("'%1' in the address").arg(c);
    }
    const qsizetype at = address.lastIndexOf(u'@');
    if (at <= 0 || at == address.size() - 1 || address.indexOf(u'@') != at)
        return QStringLiteral("not an address of the form name@domain");
    return {};
}

QByteArray subjectHeader(const QString &subject)
{
    QString clean = subject;
    for (QChar &c : clean)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    const QByteArray utf8 = clean.trimmed().toUtf8();
    if (isAscii(utf8) && !utf8.contains("=?"))
        return utf8;
    // Encoded words of at most 45 bytes of UTF-8 (60 of base64, 72 with
    // "=?UTF-8?B?" and "?="), never splitting a character.
    QByteArray out;
    qsizetype i = 0;
    while (i < utf8.size()) {
        qsizetype end = qMin(i + 45, utf8.size());
        while (end < utf8.size() && end > i && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + utf8.mid(i, end - i).toBase64() + "?=";
        i = end;
    }
    return out;
}

QByteArray message(const QString &from, const QString &to, const QString &subject, const QString &text,
                   const QDateTime &time)
{
    const QByteArray body = crlfLines(text.toUtf8());
    const bool encode = !isAscii(body) || hasLongLine(body);
    QByteArray out;
    out += "Date: " + dateHeader(time) + "\r\n";
    out += "Message-ID: " + messageId(from) + "\r\n";
    out += "From: " + from.toLatin1() + "\r\n";
    out += "To: " + to.toLatin1() + "\r\n";
    out += "Subject: " + subjectHeader(subject) + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=utf-8\r\n";
    out += encode ? "Content-Transfer-Encoding: base64\r\n" : "Content-Transfer-Encoding: 7bit\r\n";
    out += "\r\n";
    out += encode ? base64Lines(body) : body;
    return out;
}

} // namespace ReportMail
