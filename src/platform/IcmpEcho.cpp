#include "platform/IcmpEcho.h"

#include <cerrno>
#include <chrono>
#include <linux/icmp.h>
#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

// Datagrams read in one go before the deadline is looked at again, so that
// a flood of foreign packets cannot hold the caller past it.
constexpr int kDrainLimit = 64;

} // namespace

IcmpEcho::IcmpEcho() = default;

IcmpEcho::OpenResult IcmpEcho::open(Kind kind)
{
    return socket_.open(kind);
}

EchoReply IcmpEcho::exchange(const EchoRequest &rq)
{
    EchoReply reply;
    if (!socket_.isOpen()) {
        reply.status = IpStatus::GeneralFailure;
        return reply;
    }
    if (!IcmpSocket::isHostAddress(rq.address)) {
        reply.status = IpStatus::BadDestination;
        return reply;
    }
    if (!socket_.applyOptions(rq.ttl & 0xFF, rq.ex)) {
        reply.status = IpStatus::BadOption;
        return reply;
    }

    sequence_ = socket_.sequenceAt(++counter_);
    discardPending();
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(qMax(rq.timeoutMs, 0));
    if (const int err = socket_.send(rq.address, sequence_, rq.data)) {
        reply.status = SendErrorStatus(err);
        return reply;
    }

    for (;;) {
        const auto now = Clock::now();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd pfd{socket_.fd(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, int(qMax<qint64>(left, 0)));
        if (ready < 0 && errno != EINTR)
            break;
        bool done = false;
        if (ready > 0 && (pfd.revents & POLLERR)) {
            done = readError(rq, reply);
            // An error about another request may leave the socket's error
            // set with nothing queued; it would end every later poll at once.
            if (!done)
                socket_.clearError();
        }
        if (!done && ready > 0 && (pfd.revents & POLLIN))
            done = readReply(rq, reply);
        if (done) {
            reply.replied = true;
            reply.roundTripMs = quint32(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
            return reply;
        }
        if (ready == 0 || Clock::now() >= deadline)
            break;
    }
    reply = EchoReply{};
    reply.status = IpStatus::ReqTimedOut;
    return reply;
}

void IcmpEcho::discardPending()
{
    // Errors queued since the last exchange are about earlier requests: a
    // terminal switched off on the local link times out first, and address
    // resolution gives up on it only seconds later, when the kernel reports
    // "host unreachable". Left on the socket, that error would fail the next
    // send at once and mark a present terminal unreachable.
    IcmpSocket::Answer answer;
    for (int i = 0; i < kDrainLimit; ++i)
        if (socket_.readQueuedError(buffer_, answer) == IcmpSocket::Read::Empty)
            break;
    socket_.clearError();
}

namespace {

void fill(EchoReply &reply, const IcmpSocket::Answer &answer)
{
    reply.status = answer.status;
    reply.ttl = answer.ttl;
    reply.bytes = IcmpSocket::replyBytes(answer);
}

} // namespace

bool IcmpEcho::readReply(const EchoRequest &rq, EchoReply &reply)
{
    // Everything queued is read; the first datagram that answers us wins.
    IcmpSocket::Answer answer;
    for (int i = 0; i < kDrainLimit; ++i) {
        const IcmpSocket::Read read = socket_.readAnswer(buffer_, answer);
        if (read == IcmpSocket::Read::Empty)
            return false;
        if (read == IcmpSocket::Read::Answer && socket_.answers(answer, rq.address, sequence_, rq.data)) {
            fill(reply, answer);
            return true;
        }
    }
    return false;
}

bool IcmpEcho::readError(const EchoRequest &rq, EchoReply &reply)
{
    IcmpSocket::Answer answer;
    for (int i = 0; i < kDrainLimit; ++i) {
        const IcmpSocket::Read read = socket_.readQueuedError(buffer_, answer);
        if (read == IcmpSocket::Read::Empty)
            return false;
        if (read == IcmpSocket::Read::Answer && socket_.answers(answer, rq.address, sequence_, rq.data)) {
            fill(reply, answer);
            return true;
        }
    }
    return false;
}
