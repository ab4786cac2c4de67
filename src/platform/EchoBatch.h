#pragma once

// Many ICMP echo exchanges outstanding at once on one socket, so that a pass
// over a list waits for its silent terminals once instead of once each.
//
// A thread of the batch's own sends the requests in the order they were
// submitted, one per pace interval (first sends and retries alike), so a
// long list never floods a link with address-resolution requests; a send
// that is answered before the interval is over lets the next one go at
// once, so terminals that answer are asked at their own speed. Each
// send has its own sequence number and deadline; an echo without an answer
// by its deadline is sent again, with a new number, as many times as the
// options allow before it counts as timed out. What comes back is matched to
// its request exactly as IcmpEcho matches it (source, sequence, identifier,
// data; an error by its quoted request): a reply to any send of a request
// still waiting counts, an error only when it is about the latest send.
// Anything about a finished request (a late reply, the late "host
// unreachable" of a neighbour that never resolved) is dropped, so every
// result comes from its own request alone.
//
// Memory grows with the number of requests submitted, never with the
// time-out; requests that share their data share one copy of it.
//
//     EchoBatch batch;
//     batch.open();
//     for (quint32 a : addresses) ids << batch.submit({.address = a, .timeoutMs = 2000});
//     for (int id : ids) use(batch.wait(id));   // in list order
//
// submit, wait and stop may be called from any thread.

#include "platform/IcmpEcho.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <queue>
#include <thread>
#include <vector>

class EchoBatch {
public:
    using Kind = IcmpSocket::Kind;
    using OpenResult = IcmpSocket::OpenResult;
    static constexpr int MaxRetries = 5;

    struct Options {
        // The least time between two sends while the last one is not
        // answered.
        std::chrono::microseconds pace{1000};
        // Sends after the first for an echo without an answer, 0 to
        // MaxRetries.
        int retries = 0;
    };

    EchoBatch();
    ~EchoBatch();
    EchoBatch(const EchoBatch &) = delete;
    EchoBatch &operator=(const EchoBatch &) = delete;

    // Opens the socket and starts sending; a batch opened again starts
    // empty.
    OpenResult open(Kind kind, const Options &options);
    OpenResult open(Kind kind = Kind::Auto);
    // Stops, and closes the socket.
    void close();
    bool isOpen() const { return socket_.isOpen(); }
    Kind kind() const { return socket_.kind(); }

    // Queues one echo; its number, counting from 0 in the order submitted.
    // The request's data is copied. On a batch that is not open the echo
    // fails at once with IpStatus::GeneralFailure.
    int submit(const EchoRequest &request);

    // The outcome of echo `id`, waiting for it as long as it takes (at most
    // its deadlines); nothing when the batch was stopped first.
    std::optional<EchoReply> wait(int id);
    // The same, waiting at most upTo: nothing when the echo has no outcome
    // by then.
    std::optional<EchoReply> wait(int id, std::optional<std::chrono::microseconds> upTo);
    // The outcome of echo `id` if it has one already.
    std::optional<EchoReply> result(int id);

    // For each echo: Silent when it failed, or its first send went out at
    // least `age` ago and nothing has answered yet; Waiting while it may
    // still be answered before that; Answered otherwise (an unknown number
    // included). One look under the lock for all of them.
    enum class Silence : quint8 { Answered, Waiting, Silent };
    std::vector<Silence> silence(const std::vector<int> &ids, std::chrono::microseconds age);

    // Ends every exchange at once: waiting callers return, and echoes
    // without an outcome never get one.
    void stop();

private:
    struct Request;
    struct Deadline {
        std::chrono::steady_clock::time_point at;
        int request;
        int attempt;
        bool operator>(const Deadline &other) const { return at > other.at; }
    };

    void run();
    void expire(std::chrono::steady_clock::time_point now);
    void sendNext(std::chrono::steady_clock::time_point now, std::unique_lock<std::mutex> &lock);
    quint16 nextSequence();
    void readReplies(std::unique_lock<std::mutex> &lock);
    void readErrors(std::unique_lock<std::mutex> &lock);
    void take(const IcmpSocket::Answer &answer);
    void finish(int id, quint32 status);
    void wakeTheWaiters();
    static constexpr int kDeferLimit = 64;
    void wake();

    IcmpSocket socket_;
    Options options_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::multiset<int> waiters_;  // the echoes callers wait for in wait()
    bool wakeWaiters_ = false;    // one of them has its outcome
    int deferred_ = 0;            // turns since then without a sleep
    std::deque<Request> requests_;
    std::deque<int> ready_;   // requests waiting for their (next) send
    std::priority_queue<Deadline, std::vector<Deadline>, std::greater<>> deadlines_;
    // For each sequence number the request and attempt it was last sent
    // with, packed as request * 8 + attempt; -1 when unused.
    std::vector<qint32> bySequence_;
    quint16 counter_ = 0;     // of sends; the socket turns it into a sequence
    std::chrono::steady_clock::time_point nextSend_;
    int lastSent_ = -1;          // the request sent last
    bool lastAnswered_ = false;  // and it has its answer: the next may go
    bool stopped_ = false;
    int wake_ = -1;           // eventfd that interrupts the thread's wait
    QByteArray buffer_;       // one received datagram
    QByteArray lastData_;     // shared by requests with the same data
    std::thread thread_;
};
