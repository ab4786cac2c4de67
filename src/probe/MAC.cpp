#include "probe/MAC.h"

#include <QStringList>

QString FormatMAC(const MAC &mac)
{
    QString text;
    text.reserve(17);
    for (size_t i = 0; i < mac.size(); ++i) {
        if (i)
            text += u':';
        text += QString::number(mac[i], 16).rightJustified(2, u'0').toUpper();
    }
    return text;
}

std::optional<MAC> ParseMAC(const QString &text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 6)
        return std::nullopt;
    MAC mac{};
    for (int i = 0; i < 6; ++i) {
        // Each part is read as a hexadecimal number; a value above one byte
        // would be cut to its low byte and wake some other machine, so it
        // fails like any other part that is not a byte.
        const QString &part = parts[i];
        if (part.isEmpty() || part.size() > 8)
            return std::nullopt;
        uint value = 0;
        for (QChar c : part) {
            const int digit = QStringView(u"0123456789abcdef").indexOf(c.toLower());
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + uint(digit);
        }
        if (value > 0xFF)
            return std::nullopt;
        mac[size_t(i)] = quint8(value);
    }
    return mac;
}

std::optional<MAC> ReadListedMAC(const QString &text)
{
    QString compact = text;
    compact.remove(u' ').remove(u'\t');
    if (auto mac = ParseMAC(QString(compact).replace(u'-', u':')))
        return mac;
    compact.remove(u':').remove(u'-').remove(u'.');
    if (compact.size() != 12)
        return std::nullopt;
    MAC mac{};
    for (int i = 0; i < 12; ++i) {
        const int digit = QStringView(u"0123456789abcdef").indexOf(compact[i].toLower());
        if (digit < 0)
            return std::nullopt;
        mac[size_t(i / 2)] = quint8(mac[size_t(i / 2)] << 4 | digit);
    }
    return mac;
}

QByteArray MagicPacket(const MAC &mac)
{
    QByteArray packet(6, char(0xFF));
    packet.reserve(102);
    for (int k = 0; k < 16; ++k)
        packet.append(reinterpret_cast<const char *>(mac.data()), qsizetype(mac.size()));
    return packet;
}
