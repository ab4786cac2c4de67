// The echo reply matching over any received datagram, as a ping socket and
// as a raw socket (IP header first) deliver it. Only a packet that answers
// the outstanding request may succeed.
//
// The matching belongs to the echo exchange and is private to it; the two
// explicit instantiations below are the language's one sanctioned way to
// name private members from outside, so the exchange itself stays as it is.
//
// Input: one selector byte (socket kind, whether the request carried data),
// then the datagram.

#include "FuzzInput.h"

#include "platform/IcmpEcho.h"

#include <cstring>

namespace {

using MatchFn = bool (IcmpEcho::*)(const unsigned char *, qsizetype, const EchoRequest &, EchoReply &) const;

template <class Tag>
struct Stolen {
    static inline typename Tag::type value{};
};
template <class Tag, typename Tag::type Member>
struct Steal {
    static inline const bool done = (Stolen<Tag>::value = Member, true);
};

struct PingTag { using type = MatchFn; };
struct RawTag { using type = MatchFn; };
struct IdentTag { using type = quint16 IcmpEcho::*; };
struct SequenceTag { using type = quint16 IcmpEcho::*; };

template struct Steal<PingTag, &IcmpEcho::matchPing>;
template struct Steal<RawTag, &IcmpEcho::matchRaw>;
template struct Steal<IdentTag, &IcmpEcho::ident_>;
template struct Steal<SequenceTag, &IcmpEcho::sequence_>;

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
    EchoRequest rq;
    rq.address = 0x0100007f; // 127.0.0.1 in network order
    rq.data = (selector & 2) ? QByteArrayView(payload, 32) : QByteArrayView();

    IcmpEcho echo;
    echo.*Stolen<IdentTag>::value = 0x1234;
    echo.*Stolen<SequenceTag>::value = 0x0102;
    EchoReply reply;
    if (selector & 1) {
        if ((echo.*Stolen<RawTag>::value)(packet, len, rq, reply) && reply.status == IpStatus::Success) {
            const qsizetype ihl = (packet[0] & 0x0F) * 4;
            FUZZ_CHECK(len >= ihl + 8 + rq.data.size());
            FUZZ_CHECK(packet[ihl] == 0 && get16(packet + ihl + 4) == 0x1234 && get16(packet + ihl + 6) == 0x0102);
            FUZZ_CHECK(std::memcmp(packet + 12, &rq.address, 4) == 0);
            FUZZ_CHECK(reply.bytes == rq.data.size());
        }
    } else {
        if ((echo.*Stolen<PingTag>::value)(packet, len, rq, reply)) {
            FUZZ_CHECK(len == 8 + rq.data.size());
            FUZZ_CHECK(packet[0] == 0 && get16(packet + 6) == 0x0102);
            FUZZ_CHECK(reply.status == IpStatus::Success && reply.bytes == rq.data.size());
        }
    }
    return 0;
}
