#include "platform/CanberraSoundPlayer.h"

#include <QFileInfo>

#include <canberra.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Ids of the sounds one context has started; each play gets its own.
std::atomic<uint32_t> nextId{1};

struct Waiter {
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    int result = CA_SUCCESS;
};

void wakeWaiter(ca_context *, uint32_t, int errorCode, void *userdata)
{
    auto *w = static_cast<Waiter *>(userdata);
    std::lock_guard lock(w->m);
    w->finished = true;
    w->result = errorCode;
    w->done.notify_all();
}

// The sound theme's name for the platform's default sound, played when a
// waited-for name is neither a system sound nor a file.
constexpr const char *DefaultSound = "bell";

} // namespace

struct CanberraSoundPlayer::Impl {
    // The context for sounds that are not waited for lives as long as the
    // player: destroying a context cancels what it plays.
    std::mutex asyncLock;
    ca_context *async = nullptr;
    // Sounds of ours playing now, waited for or not: the device is busy.
    std::atomic<int> playing{0};

    static void asyncFinished(ca_context *, uint32_t, int, void *userdata)
    {
        --static_cast<Impl *>(userdata)->playing;
    }

    // Plays one property set and waits for its end. The context is the
    // caller's own, so a waiting worker never holds a lock the main thread
    // needs.
    static int playAndWait(ca_context *c, const char *key, const QByteArray &value)
    {
        ca_proplist *p = nullptr;
        if (ca_proplist_create(&p) != CA_SUCCESS)
            return CA_ERROR_OOM;
        ca_proplist_sets(p, key, value.constData());
        Waiter w;
        int r = ca_context_play_full(c, nextId++, p, wakeWaiter, &w);
        ca_proplist_destroy(p);
        if (r != CA_SUCCESS)
            return r;
        std::unique_lock lock(w.m);
        w.done.wait(lock, [&] { return w.finished; });
        return w.result;
    }
};

CanberraSoundPlayer::CanberraSoundPlayer() : d(std::make_unique<Impl>()) {}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    if (d->async)
        ca_context_destroy(d->async);
}

bool CanberraSoundPlayer::Play(const QString &name, bool wait)
{
    if (wait) {
        ca_context *c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS)
            return false;
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "Corvane", nullptr);
        ++d->playing;
        int r = CA_ERROR_NOTFOUND;
        if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
            r = Impl::playAndWait(c, CA_PROP_EVENT_ID, name.toUtf8());
        if (r == CA_ERROR_NOTFOUND && !name.isEmpty())
            r = Impl::playAndWait(c, CA_PROP_MEDIA_FILENAME, QFile::encodeName(name));
        if (r == CA_ERROR_NOTFOUND)
            r = Impl::playAndWait(c, CA_PROP_EVENT_ID, DefaultSound);
        ca_context_destroy(c);
        --d->playing;
        return r == CA_SUCCESS;
    }

    std::lock_guard lock(d->asyncLock);
    if (d->playing > 0)
        return false;
    if (!d->async) {
        if (ca_context_create(&d->async) != CA_SUCCESS) {
            d->async = nullptr;
            return false;
        }
        ca_context_change_props(d->async, CA_PROP_APPLICATION_NAME, "Corvane", nullptr);
    }
    ca_proplist *p = nullptr;
    if (ca_proplist_create(&p) != CA_SUCCESS)
        return false;
    const QByteArray file = QFile::encodeName(QFileInfo::exists(name) ? name : QString());
    if (file.isEmpty())
        ca_proplist_sets(p, CA_PROP_EVENT_ID, DefaultSound);
    else
        ca_proplist_sets(p, CA_PROP_MEDIA_FILENAME, file.constData());
    ++d->playing;
    const int r = ca_context_play_full(d->async, nextId++, p, Impl::asyncFinished, d.get());
    ca_proplist_destroy(p);
    if (r != CA_SUCCESS)
        --d->playing;
    return r == CA_SUCCESS;
}
