#include "platform/EchoBatch.h"


#include <array>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAttempts = EchoBatch::MaxRetries + 1;
constexpr int kSlotsPerRequest = 8; // room for every attempt in a sequence slot
// Datagrams read in one go before deadlines and sends are looked at again.
constexpr int kDrainLimit = 64;

} // namespace

struct EchoBatch::Request {
    quint32 address = 0;
    QByteArray data;
    int ttl = 128;
    bool ex = true;
    std::chrono::milliseconds timeout{0};
    Clock::time_point queuedAt;  // when it last joined the queue of sends
    int attempts = 0;            // sends made
    std::array<Clock::time_point, kAttempts> sentAt{};
    bool finished = false;
    EchoReply reply;
};

EchoBatch::EchoBatch() = default;

EchoBatch::~EchoBatch() { close(); }

EchoBatch::OpenResult EchoBatch::open(Kind kind)
{
    return open(kind, Options());
}

EchoBatch::OpenResult EchoBatch::open(Kind kind, const Options &options)
{
    close();
    requests_.clear();
    ready_.clear();
    deadlines_ = {};
    bySequence_.assign(65536, -1);
    stopped_ = false;
    lastData_.clear();
    options_ = options;
    options_.retries = qBound(0, options.retries, MaxRetries);
    options_.pace = qMax(options.pace, std::chrono::microseconds(0));
    nextSend_ = Clock::now();
    lastSent_ = -1;
    lastAnswered_ = false;

    const OpenResult opened = socket_.open(kind);
    if (opened != OpenResult::Opened)
        return opened;
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        socket_.close();
        return OpenResult::Options;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        close();
        return OpenResult::NoSocket;
    }
    return OpenResult::Opened;
}

void EchoBatch::close()
{
    stop();
    if (thread_.joinable())
        thread_.join();
    socket_.close();
    if (wake_ >= 0)
        ::close(wake_);
    wake_ = -1;
}

int EchoBatch::submit(const EchoRequest &rq)
{
    std::unique_lock lock(mutex_);
    Request r;
    r.address = rq.address;
    if (rq.data != lastData_)
        lastData_ = rq.data.toByteArray();
    r.data = lastData_;
    r.ttl = rq.ttl & 0xFF;
    r.ex = rq.ex;
    r.timeout = std::chrono::milliseconds(qMax(rq.timeoutMs, 0));
    r.queuedAt = Clock::now();
    const int id = int(requests_.size());
    // The sending thread looks at the queue again by itself while it holds
    // anything; only one that may sleep with nothing to send is woken.
    bool wakeSender = false;
    if (!thread_.joinable()) {
        r.finished = true;
        r.reply.status = IpStatus::GeneralFailure;
    } else {
        wakeSender = ready_.empty();
        ready_.push_back(id);
    }
    requests_.push_back(std::move(r));
    lock.unlock();
    if (wakeSender)
        wake();
    return id;
}

std::optional<EchoReply> EchoBatch::wait(int id)
{
    return wait(id, std::nullopt);
}

std::optional<EchoReply> EchoBatch::wait(int id, std::optional<std::chrono::microseconds> upTo)
{
    std::unique_lock lock(mutex_);
    if (id < 0 || id >= int(requests_.size()))
        return std::nullopt;
    waiters_.insert(id);
    const auto done = [&] { return requests_[size_t(id)].finished || stopped_; };
    if (upTo)
        done_.wait_for(lock, *upTo, done);
    else
        done_.wait(lock, done);
    waiters_.erase(waiters_.find(id));
    const Request &r = requests_[size_t(id)];
    return r.finished ? std::optional(r.reply) : std::nullopt;
}

std::optional<EchoReply> EchoBatch::result(int id)
{
    std::lock_guard lock(mutex_);
    if (id < 0 || id >= int(requests_.size()) || !requests_[size_t(id)].finished)
        return std::nullopt;
    return requests_[size_t(id)].reply;
}

std::vector<EchoBatch::Silence> EchoBatch::silence(const std::vector<int> &ids, std::chrono::microseconds age)
{
    std::vector<Silence> out(ids.size(), Silence::Answered);
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    for (size_t i = 0; i < ids.size(); ++i) {
        const int id = ids[i];
        if (id < 0 || id >= int(requests_.size()))
            continue;
        const Request &r = requests_[size_t(id)];
        if (r.finished)
            out[i] = r.reply.replied && r.reply.status == IpStatus::Success ? Silence::Answered : Silence::Silent;
        else
            out[i] = r.attempts > 0 && now - r.sentAt[0] >= age ? Silence::Silent : Silence::Waiting;
    }
    return out;
}

void EchoBatch::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    done_.notify_all();
    wake();
}

void EchoBatch::wake()
{
    if (wake_ < 0)
        return;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
}

void EchoBatch::run()
{
    std::unique_lock lock(mutex_);
    while (!stopped_) {
        const auto now = Clock::now();
        // A thread woken late (a busy machine) takes the answers that came
        // while it slept before it lets any echo time out.
        if (!deadlines_.empty() && deadlines_.top().at <= now)
            readReplies(lock);
        expire(now);
        if (!ready_.empty() && (now >= nextSend_ || lastAnswered_)) {
            sendNext(now, lock);
            continue;
        }
        std::optional<Clock::time_point> until;
        if (!ready_.empty())
            until = nextSend_;
        if (!deadlines_.empty() && (!until || deadlines_.top().at < *until))
            until = deadlines_.top().at;
        timespec wait{};
        if (until) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*until - now);
            const qint64 ns = qMax<qint64>(left.count(), 0);
            wait.tv_sec = time_t(ns / 1000000000);
            wait.tv_nsec = long(ns % 1000000000);
        }
        pollfd fds[2] = {{socket_.fd(), POLLIN, 0}, {wake_, POLLIN, 0}};
        // A caller whose echo has its outcome is woken when this thread is
        // about to sleep (or after kDeferLimit turns without a sleep): while
        // answers come as fast as the requests go, it wakes once for many
        // echoes instead of once for each.
        if (wakeWaiters_ && deferred_ >= kDeferLimit)
            wakeTheWaiters();
        const bool peek = wakeWaiters_;
        timespec zero{};
        lock.unlock();
        const int ready = ::ppoll(fds, 2, peek ? &zero : until ? &wait : nullptr, nullptr);
        lock.lock();
        if (peek && ready == 0) {
            wakeTheWaiters();
            continue;
        }
        if (peek)
            ++deferred_;
        if (ready <= 0)
            continue;
        if (fds[1].revents & POLLIN) {
            quint64 count;
            [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
        }
        if (fds[0].revents & POLLERR)
            readErrors(lock);
        if (fds[0].revents & POLLIN)
            readReplies(lock);
    }
}

void EchoBatch::expire(Clock::time_point now)
{
    while (!deadlines_.empty() && deadlines_.top().at <= now) {
        const Deadline d = deadlines_.top();
        deadlines_.pop();
        Request &r = requests_[size_t(d.request)];
        if (r.finished || d.attempt != r.attempts - 1)
            continue;
        if (r.attempts <= options_.retries) {
            r.queuedAt = now;
            ready_.push_back(d.request);
        } else {
            finish(d.request, IpStatus::ReqTimedOut);
        }
    }
}

void EchoBatch::sendNext(Clock::time_point now, std::unique_lock<std::mutex> &lock)
{
    const int id = ready_.front();
    ready_.pop_front();
    Request &r = requests_[size_t(id)];
    if (r.finished)
        return;
    if (!IcmpSocket::isHostAddress(r.address)) {
        finish(id, IpStatus::BadDestination);
        return;
    }
    if (!socket_.applyOptions(r.ttl, r.ex)) {
        finish(id, IpStatus::BadOption);
        return;
    }
    // An error still queued for an earlier request fails this send once
    // (below); it is not looked for before every send, which would cost a
    // call of its own per echo.
    const quint16 sequence = nextSequence();
    // The socket's calls go without the lock, so that a caller asking for
    // an outcome never waits for them; only this thread touches the socket
    // and the request's sending state.
    const quint32 address = r.address;
    const QByteArray data = r.data;
    lock.unlock();
    int err = socket_.send(address, sequence, data);
    lock.lock();
    if (err == EAGAIN || err == ENOBUFS) {
        // The socket's buffer is full of requests that wait for address
        // resolution; this one waits its turn again, up to its time-out.
        if (now - r.queuedAt < r.timeout) {
            ready_.push_front(id);
            lastAnswered_ = false;
            nextSend_ = now + qMax(options_.pace, std::chrono::microseconds(1000));
            return;
        }
    } else if (err != 0) {
        // An error that arrived for an earlier request since the queue was
        // read fails one send; the request itself may well go.
        readErrors(lock);
        err = socket_.send(r.address, sequence, r.data);
    }
    if (err != 0) {
        finish(id, SendErrorStatus(err));
        return;
    }
    const int attempt = r.attempts++;
    r.sentAt[size_t(attempt)] = Clock::now();
    bySequence_[sequence] = id * kSlotsPerRequest + attempt;
    deadlines_.push({r.sentAt[size_t(attempt)] + r.timeout, id, attempt});
    nextSend_ = r.sentAt[size_t(attempt)] + options_.pace;
    lastSent_ = id;
    lastAnswered_ = false;
}

quint16 EchoBatch::nextSequence()
{
    // Numbers of requests still waiting are skipped, so a late answer to
    // one of their sends still finds them.
    quint16 sequence = 0;
    for (int i = 0; i < 65536; ++i) {
        sequence = socket_.sequenceAt(++counter_);
        const qint32 slot = bySequence_[sequence];
        if (slot < 0 || requests_[size_t(slot / kSlotsPerRequest)].finished)
            break;
    }
    return sequence;
}

void EchoBatch::readReplies(std::unique_lock<std::mutex> &lock)
{
    IcmpSocket::Answer answer;
    for (int i = 0; i < kDrainLimit; ++i) {
        lock.unlock();
        const IcmpSocket::Read read = socket_.readAnswer(buffer_, answer);
        lock.lock();
        if (read == IcmpSocket::Read::Empty)
            return;
        if (read == IcmpSocket::Read::Answer)
            take(answer);
    }
}

void EchoBatch::readErrors(std::unique_lock<std::mutex> &lock)
{
    // Only a ping socket queues errors; a raw socket's arrive as packets.
    IcmpSocket::Answer answer;
    for (int i = 0; i < kDrainLimit; ++i) {
        lock.unlock();
        const IcmpSocket::Read read = socket_.readQueuedError(buffer_, answer);
        lock.lock();
        if (read == IcmpSocket::Read::Empty)
            break;
        if (read == IcmpSocket::Read::Answer)
            take(answer);
    }
    socket_.clearError();
}

void EchoBatch::take(const IcmpSocket::Answer &answer)
{
    const qint32 slot = bySequence_[answer.sequence];
    if (slot < 0)
        return;
    const int id = slot / kSlotsPerRequest;
    Request &r = requests_[size_t(id)];
    const int attempt = slot % kSlotsPerRequest;
    if (r.finished || !socket_.answers(answer, r.address, answer.sequence, r.data))
        return;
    // An error about an earlier send of an echo sent again is old news: the
    // latest send may still be answered.
    if (answer.error && attempt != r.attempts - 1)
        return;
    r.reply.replied = true;
    r.reply.ttl = answer.ttl;
    r.reply.bytes = IcmpSocket::replyBytes(answer);
    r.reply.roundTripMs = quint32(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - r.sentAt[size_t(attempt)]).count());
    finish(id, answer.status);
    if (id == lastSent_)
        lastAnswered_ = true;
}

void EchoBatch::finish(int id, quint32 status)
{
    Request &r = requests_[size_t(id)];
    r.finished = true;
    r.reply.status = status;
    // Only a caller waiting for this echo is woken (see run): a pass waits
    // for one echo at a time, and a wake for every other would cost it a
    // switch of threads per echo.
    if (waiters_.count(id))
        wakeWaiters_ = true;
}

void EchoBatch::wakeTheWaiters()
{
    wakeWaiters_ = false;
    deferred_ = 0;
    done_.notify_all();
}
