#include "platform/Cp932.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iconv.h>
#include <memory>

namespace {

// The page is read once from the C library's converter into two tables, so
// that converting a text is table lookups only and cannot stop half way.
struct Tables {
    std::array<char16_t, 256> single{};          // 0 = not a single-byte code
    std::array<char16_t, 0x10000> dbcs{};        // index lead<<8|trail, 0 = unmapped
    std::array<quint16, 0x10000> reverse{};      // UTF-16 unit -> code, 0 = none

    Tables()
    {
        iconv_t dec = iconv_open("UTF-16LE", "CP932");
        iconv_t enc = iconv_open("CP932", "UTF-16LE");
        if (dec == iconv_t(-1) || enc == iconv_t(-1)) {
            // Without the converter keep ASCII working.
            for (int b = 0; b < 0x80; ++b) { single[b] = char16_t(b); reverse[b] = quint16(b); }
            return;
        }
        auto decodeOne = [&](const char *in, size_t len) -> char16_t {
            char out[8];
            char *ip = const_cast<char *>(in), *op = out;
            size_t il = len, ol = sizeof out;
            iconv(dec, nullptr, nullptr, nullptr, nullptr);
            if (iconv(dec, &ip, &il, &op, &ol) == size_t(-1) || il != 0 || op - out != 2)
                return 0;
            char16_t u;
            std::memcpy(&u, out, 2);
            return u;
        };
        for (int b = 0; b < 256; ++b) {
            if (Cp932::isLeadByte(uchar(b)))
                continue;
            const char c = char(b);
            single[b] = b == 0 ? 0 : decodeOne(&c, 1);
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!Cp932::isLeadByte(uchar(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char pair[2] = {char(lead), char(trail)};
                dbcs[lead << 8 | trail] = decodeOne(pair, 2);
            }
        }
        // Several codes may decode to one character (the two extension
        // blocks overlap); the converter's own choice decides the encoding.
        auto encodeOne = [&](char16_t u) {
            if (u < 0x80 || reverse[u])
                return;
            char16_t in16 = u;
            char out[4];
            char *ip = reinterpret_cast<char *>(&in16), *op = out;
            size_t il = 2, ol = sizeof out;
            iconv(enc, nullptr, nullptr, nullptr, nullptr);
            if (iconv(enc, &ip, &il, &op, &ol) == size_t(-1) || il != 0)
                return;
            const auto n = op - out;
            if (n == 1)
                reverse[u] = uchar(out[0]);
            else if (n == 2)
                reverse[u] = quint16(uchar(out[0]) << 8 | uchar(out[1]));
        };
        for (char16_t u : single)
            encodeOne(u);
        for (char16_t u : dbcs)
            encodeOne(u);
        iconv_close(dec);
        iconv_close(enc);
    }
};

const Tables &tables()
{
    static const std::unique_ptr<Tables> t = std::make_unique<Tables>();
    return *t;
}

constexpr char16_t kReplacement = 0xFFFD;

} // namespace

namespace Cp932 {

QString decode(QByteArrayView bytes)
{
    const Tables &t = tables();
    QString out;
    out.resize(bytes.size());
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        const uchar b = *p;
        if (b < 0x80) {
            *o++ = b;
            ++p;
        } else if (isLeadByte(b)) {
            if (p + 1 < end && p[1] >= 0x40 && p[1] != 0x7F && p[1] <= 0xFC) {
                const char16_t u = t.dbcs[b << 8 | p[1]];
                *o++ = u ? u : kReplacement;
                p += 2;
            } else {
                *o++ = kReplacement; // truncated or bad trail: keep the next byte
                ++p;
            }
        } else {
            const char16_t u = t.single[b];
            *o++ = u ? u : kReplacement;
            ++p;
        }
    }
    out.truncate(o - reinterpret_cast<char16_t *>(out.data()));
    return out;
}

static inline quint16 codeOf(const Tables &t, char16_t u)
{
    if (u < 0x80)
        return u;
    const quint16 c = t.reverse[u];
    return c ? c : quint16('?');
}

QByteArray encode(QStringView text)
{
    const Tables &t = tables();
    QByteArray out;
    out.resize(text.size() * 2);
    char *o = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one character outside the page: one "?"
        const quint16 c = codeOf(t, text[i].unicode());
        if (c > 0xFF)
            *o++ = char(c >> 8);
        *o++ = char(c & 0xFF);
    }
    out.truncate(o - out.data());
    return out;
}

bool canEncode(QStringView text)
{
    const Tables &t = tables();
    return std::all_of(text.begin(), text.end(), [&](QChar c) { return c.unicode() < 0x80 || t.reverse[c.unicode()]; });
}

qsizetype byteLength(QStringView text)
{
    const Tables &t = tables();
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        n += codeOf(t, text[i].unicode()) > 0xFF ? 2 : 1;
    }
    return n;
}

QString leftBytes(QStringView text, qsizetype maxBytes)
{
    const Tables &t = tables();
    qsizetype n = 0, i = 0;
    while (i < text.size()) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype w = codeOf(t, text[i + (pair ? 1 : 0)].unicode()) > 0xFF ? 2 : 1;
        if (n + w > maxBytes)
            break;
        n += w;
        i += pair ? 2 : 1;
    }
    return text.left(i).toString();
}

QByteArray leftBytes(QByteArrayView bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes.toByteArray();
    qsizetype i = 0;
    while (i < maxBytes) {
        const qsizetype w = isLeadByte(uchar(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        if (i + w > maxBytes)
            break;
        i += w;
    }
    return bytes.first(i).toByteArray();
}

int compareBytes(QStringView a, QStringView b)
{
    const QByteArray ea = encode(a), eb = encode(b);
    const int r = std::memcmp(ea.constData(), eb.constData(), size_t(std::min(ea.size(), eb.size())));
    if (r != 0)
        return r < 0 ? -1 : 1;
    return ea.size() < eb.size() ? -1 : ea.size() > eb.size() ? 1 : 0;
}

} // namespace Cp932
