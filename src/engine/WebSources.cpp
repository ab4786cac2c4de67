#include "engine/WebSources.h"

#include <QHostAddress>

#include <algorithm>

namespace {

// Sources whose misses are remembered. A flood of sources (an IPv6 network
// has many /64s behind a router) forgets first those that have been quiet
// longest and no longer wait.
constexpr qsizetype MostSources = 4096;

} // namespace

QString WebSourceOf(const QHostAddress &peer)
{
    bool v4 = false;
    const quint32 ip4 = peer.toIPv4Address(&v4);
    if (v4)
        return QHostAddress(ip4).toString();
    Q_IPV6ADDR ip6 = peer.toIPv6Address();
    std::fill(std::begin(ip6.c) + 8, std::end(ip6.c), quint8(0));
    return QHostAddress(ip6).toString() + QStringLiteral("/64");
}

bool WebSources::enter(const QString &source)
{
    const auto held = open_.constFind(source);
    if (total_ >= limits_.connections || (held != open_.cend() && *held >= limits_.connectionsPerSource))
        return false;
    ++open_[source];
    ++total_;
    return true;
}

void WebSources::leave(const QString &source)
{
    const auto held = open_.find(source);
    if (held == open_.end())
        return;
    --total_;
    if (--*held <= 0)
        open_.erase(held);
}

std::chrono::milliseconds WebSources::wait(const QString &source) const
{
    const auto misses = misses_.constFind(source);
    if (misses == misses_.cend())
        return {};
    const Clock::duration left = misses->until - Clock::now();
    return left > Clock::duration::zero() ? std::chrono::ceil<std::chrono::milliseconds>(left)
                                          : std::chrono::milliseconds::zero();
}

bool WebSources::failed(const QString &source)
{
    const Clock::time_point now = Clock::now();
    if (misses_.size() >= MostSources && !misses_.contains(source)) {
        misses_.removeIf([&](const auto &entry) {
            return entry.value().until <= now && now - entry.value().last > limits_.longestWait;
        });
        while (misses_.size() >= MostSources)
            misses_.erase(std::min_element(misses_.begin(), misses_.end(), [](const Misses &a, const Misses &b) {
                return a.last < b.last;
            }));
    }
    Misses &m = misses_[source];
    m.last = now;
    if (++m.count < limits_.failuresBeforeWait)
        return false;
    const bool starts = m.wait == std::chrono::milliseconds::zero();
    m.wait = starts ? limits_.firstWait : std::min(m.wait * 2, limits_.longestWait);
    m.until = now + m.wait;
    return starts;
}
