// The decoding and matching of echo answers over any received datagram, as a
// ping socket (ICMP message alone) and as a raw socket (IP header first)
// delivers it. Only a packet that answers the outstanding request may match.
//
// Decoding and the socket's identifier are private to the socket; the
// explicit instantiations below are the language's one sanctioned way to
// name private members from outside, so the socket itself stays as it is.
//
// The sockets are never opened, so their token key is all zeros: the seeds
// named "-token" carry the token of sequence 0x0102 to 127.0.0.1 under it.
//
// Input: one selector byte (socket kind, whether the request carried data),
// then the datagram.

#include "FuzzInput.h"

#include "platform/IcmpSocket.h"

#include <cstring>

namespace {

using PingFn = bool (IcmpSocket::*)(const unsigned char *, qsizetype, quint32, IcmpSocket::Answer &) const;
using RawFn = bool (IcmpSocket::*)(const unsigned char *, qsizetype, IcmpSocket::Answer &) const;

template <class Tag>
struct Stolen {
    static inline typename Tag::type value{};
};
template <class Tag, typename Tag::type Member>
struct Steal {
    static inline const bool done = (Stolen<Tag>::value = Member, true);
};

struct PingTag { using type = PingFn; };
struct RawTag { using type = RawFn; };
struct IdentTag { using type = quint16 IcmpSocket::*; };
struct KindTag { using type = IcmpSocket::Kind IcmpSocket::*; };

template struct Steal<PingTag, &IcmpSocket::decodePing>;
template struct Steal<RawTag, &IcmpSocket::decodeRaw>;
template struct Steal<IdentTag, &IcmpSocket::ident_>;
template struct Steal<KindTag, &IcmpSocket::kind_>;

quint16 get16(const uint8_t *p) { return quint16(p[0] << 8 | p[1]); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const unsigned char *packet = data + 1;
    const qsizetype len = qsizetype(size - 1);

    static const char payload[] = "abcdefghijklmnopqrstuvwabcdefghi";
    const quint32 address = 0x0100007f; // 127.0.0.1 in network order
    const quint16 sequence = 0x0102;
    const QByteArrayView sent = (selector & 2) ? QByteArrayView(payload, 32) : QByteArrayView();

    IcmpSocket socket;
    IcmpSocket::Answer answer;
    if (selector & 1) {
        socket.*Stolen<KindTag>::value = IcmpSocket::Kind::RawSocket;
        socket.*Stolen<IdentTag>::value = 0x1234;
        if (!(socket.*Stolen<RawTag>::value)(packet, len, answer))
            return 0;
        const qsizetype ihl = (packet[0] & 0x0F) * 4;
        FUZZ_CHECK(ihl >= 20 && len >= ihl + 8);
        FUZZ_CHECK(answer.data.data() >= reinterpret_cast<const char *>(packet)
                   && answer.data.data() + answer.data.size() <= reinterpret_cast<const char *>(packet + len));
        if (!socket.answers(answer, address, sequence, sent))
            return 0;
        if (answer.error) {
            FUZZ_CHECK(answer.status != 0);
        } else {
            FUZZ_CHECK(len == ihl + 8 + IcmpSocket::TokenBytes + sent.size());
            FUZZ_CHECK(packet[ihl] == 0 && get16(packet + ihl + 4) == 0x1234 && get16(packet + ihl + 6) == sequence);
            FUZZ_CHECK(std::memcmp(packet + 12, &address, 4) == 0);
        }
    } else {
        socket.*Stolen<KindTag>::value = IcmpSocket::Kind::PingSocket;
        if (!(socket.*Stolen<PingTag>::value)(packet, len, address, answer))
            return 0;
        if (socket.answers(answer, address, sequence, sent)) {
            FUZZ_CHECK(!answer.error && len == 8 + IcmpSocket::TokenBytes + sent.size());
            FUZZ_CHECK(packet[0] == 0 && get16(packet + 6) == sequence);
        }
    }
    return 0;
}
