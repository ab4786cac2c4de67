#include "platform/ReportDelivery.h"

#include "platform/Journal.h"
#include "platform/ReportMail.h"
#include "platform/ReportTransfer.h"
#include "platform/ReportWebhook.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <deque>
#include <thread>

namespace {

// A recipient as parsed: what it is, where it goes, how the journal names
// it and what must never be shown of it.
struct Target {
    enum class Kind { Mail, Json, Text };
    Kind kind = Kind::Json;
    QString address; // Mail
    QByteArray url;  // Json, Text: as libcurl gets it
    QStringList secrets;
    QString name;
    QString problem;
};

Target parse(const QString &given)
{
    Target t;
    const QString recipient = given.trimmed();
    if (recipient.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive)) {
        t.kind = Target::Kind::Mail;
        t.address = QUrl::fromPercentEncoding(recipient.mid(7).toUtf8());
        t.name = t.address;
        if (t.address.contains(u'?'))
            t.problem = QStringLiteral("a mailto: with headers is not supported");
        else
            t.problem = ReportMail::addressProblem(t.address);
        return t;
    }
    QString rest = recipient;
    QString prefix;
    if (recipient.startsWith(QStringLiteral("text+"), Qt::CaseInsensitive)) {
        t.kind = Target::Kind::Text;
        prefix = QStringLiteral("text+");
        rest = recipient.mid(5);
    }
    const QUrl url(rest, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty()) {
        static const QRegularExpression schemeLike(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
        const QRegularExpressionMatch m = schemeLike.match(recipient);
        t.name = m.hasMatch() ? m.captured(0) + QStringLiteral("…") : QStringLiteral("(a recipient of no known kind)");
        t.problem = m.hasMatch() && (scheme == u"http" || scheme == u"https")
                        ? QStringLiteral("not a valid URL")
                        : QStringLiteral("not a mailto:, http(s):// or text+http(s):// recipient");
        return t;
    }
    t.name =
        prefix +
        url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
    t.url = url.adjusted(QUrl::RemoveFragment).toEncoded();
    t.secrets << recipient << rest << QString::fromUtf8(t.url) << url.password(QUrl::FullyDecoded)
              << url.password(QUrl::FullyEncoded) << url.query(QUrl::FullyEncoded) << url.query(QUrl::FullyDecoded);
    for (const QString &path : {url.path(QUrl::FullyEncoded), url.path(QUrl::FullyDecoded)})
        if (path != u"/")
            t.secrets << path;
    t.secrets.removeAll(QString());
    // The longest first, so that a part never leaves pieces of the whole.
    std::sort(t.secrets.begin(), t.secrets.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return t;
}

TransferOutcome attempt(const Target &target, const MailSettings &mail, const QByteArray &body,
                        std::chrono::milliseconds deadline, TransferStop &stop)
{
    switch (target.kind) {
    case Target::Kind::Mail:
        return ReportTransfer::sendMail(mail, target.address, body, deadline, stop);
    case Target::Kind::Json:
        return ReportTransfer::post(target.url, "application/json", body, target.secrets, deadline, stop);
    case Target::Kind::Text:
        break;
    }
    return ReportTransfer::post(target.url, "text/plain; charset=utf-8", body, target.secrets, deadline, stop);
}

// What the recipient gets of the report.
QByteArray bodyFor(const Target &target, const Report &report, const MailSettings &mail)
{
    switch (target.kind) {
    case Target::Kind::Mail: {
        const QString subject = report.subject.isEmpty() ? report.text.section(u'\n', 0, 0) : report.subject;
        return ReportMail::message(mail.from, target.address, subject, report.text, report.time);
    }
    case Target::Kind::Json:
        return ReportWebhook::json(report);
    case Target::Kind::Text:
        break;
    }
    return report.text.toUtf8();
}

} // namespace

struct ReportDelivery::Item {
    Report report;
    MailSettings mail;
};

struct ReportDelivery::Lane {
    Target target;
    std::deque<Item> waiting;
    bool busy = false;         // a report is being tried
    bool failedBefore = false; // its last report was given up
    TransferStop stop;
    std::thread thread;
};

ReportDelivery::ReportDelivery() : ReportDelivery(Options()) {}

// libcurl (and the TLS library under it) starts with the first recipient's
// lane, not here: most installations never send a report this way.
ReportDelivery::ReportDelivery(Options options) : options_(std::move(options)) {}

ReportDelivery::~ReportDelivery()
{
    finish(std::chrono::milliseconds(0));
}

void ReportDelivery::setMail(const MailSettings &settings)
{
    std::lock_guard lock(mutex_);
    mail_ = settings;
}

void ReportDelivery::undelivered(const QString &name, const QString &reason)
{
    {
        std::lock_guard lock(mutex_);
        ++failures_;
    }
    JournalLine(JournalPriority::Warning, "report not delivered", name + QStringLiteral(": ") + reason);
}

void ReportDelivery::deliver(const QString &recipient, const Report &report)
{
    Target target = parse(recipient);
    if (!target.problem.isEmpty()) {
        undelivered(target.name, target.problem);
        return;
    }
    std::unique_lock lock(mutex_);
    if (finished_) {
        lock.unlock();
        undelivered(target.name, QStringLiteral("delivery has ended"));
        return;
    }
    std::unique_ptr<Lane> &slot = lanes_[recipient.trimmed()];
    if (!slot) {
        slot = std::make_unique<Lane>();
        slot->target = std::move(target);
        Lane *lane = slot.get();
        slot->thread = std::thread([this, lane] { run(*lane); });
    }
    Lane &lane = *slot;
    bool dropped = false;
    if (lane.waiting.size() >= std::max<size_t>(options_.maxQueued, 1)) {
        lane.waiting.pop_front();
        dropped = true;
    }
    lane.waiting.push_back({report, mail_});
    changed_.notify_all();
    lock.unlock();
    if (dropped)
        undelivered(
            lane.target.name,
            QStringLiteral("more than %1 reports waiting; the oldest waiting one was dropped").arg(options_.maxQueued));
}

void ReportDelivery::run(Lane &lane)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !lane.waiting.empty(); });
        if (stopping_)
            return;
        Item item = std::move(lane.waiting.front());
        lane.waiting.pop_front();
        lane.busy = true;
        lock.unlock();

        const QByteArray body = bodyFor(lane.target, item.report, item.mail);
        TransferOutcome outcome;
        for (size_t tried = 0;; ++tried) {
            outcome = attempt(lane.target, item.mail, body, options_.deadline, lane.stop);
            if (outcome.kind != TransferOutcome::Kind::Retry || tried >= options_.pauses.size())
                break;
            std::unique_lock pause(mutex_);
            if (changed_.wait_for(pause, options_.pauses[tried], [&] { return stopping_; })) {
                outcome.kind = TransferOutcome::Kind::Stopped;
                break;
            }
        }

        lock.lock();
        lane.busy = false;
        const bool wasFailing = lane.failedBefore;
        switch (outcome.kind) {
        case TransferOutcome::Kind::Delivered:
            lane.failedBefore = false;
            break;
        case TransferOutcome::Kind::Stopped:
            lane.waiting.push_front(std::move(item));
            break;
        case TransferOutcome::Kind::Retry:
        case TransferOutcome::Kind::Fail:
            lane.failedBefore = true;
            break;
        }
        changed_.notify_all();
        lock.unlock();
        if (outcome.kind == TransferOutcome::Kind::Delivered && wasFailing)
            JournalLine(JournalPriority::Notice, "report delivered again", lane.target.name);
        else if (outcome.kind == TransferOutcome::Kind::Retry || outcome.kind == TransferOutcome::Kind::Fail)
            undelivered(lane.target.name, outcome.text);
        lock.lock();
    }
}

bool ReportDelivery::allIdle() const
{
    for (const auto &[key, lane] : lanes_)
        if (lane->busy || !lane->waiting.empty())
            return false;
    return true;
}

bool ReportDelivery::finish(std::chrono::milliseconds grace)
{
    std::unique_lock lock(mutex_);
    if (finished_)
        return failures_ == 0;
    changed_.wait_for(lock, grace, [&] { return allIdle(); });
    stopping_ = true;
    finished_ = true;
    for (auto &[key, lane] : lanes_)
        lane->stop.stop();
    changed_.notify_all();
    lock.unlock();
    for (auto &[key, lane] : lanes_)
        lane->thread.join();
    // Only this thread touches the lanes now: deliver() sees finished_.
    for (auto &[key, lane] : lanes_)
        for (size_t i = 0; i < lane->waiting.size(); ++i)
            undelivered(lane->target.name, QStringLiteral("still waiting when delivery ended"));
    lock.lock();
    return failures_ == 0;
}

QString ReportDelivery::recipientProblem(const QString &recipient)
{
    return parse(recipient).problem;
}

QString ReportDelivery::recipientName(const QString &recipient)
{
    return parse(recipient).name;
}

ReportDelivery::TestAnswer ReportDelivery::testMail(const MailSettings &settings, const QString &to,
                                                    const QString &subject, const QString &text,
                                                    std::chrono::milliseconds deadline)
{
    const QString address = to.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive) ? to.mid(7) : to;
    if (const QString problem = ReportMail::addressProblem(address); !problem.isEmpty())
        return {false, problem};
    TransferStop stop;
    const TransferOutcome outcome = ReportTransfer::sendMail(
        settings, address, ReportMail::message(settings.from, address, subject, text, QDateTime::currentDateTime()),
        deadline, stop);
    return {outcome.kind == TransferOutcome::Kind::Delivered, outcome.text};
}
