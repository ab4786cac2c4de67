#include "events/Messenger.h"

#include "config/Settings.h"
#include "platform/Cp932.h"
#include "platform/MessageTransport.h"
#include "platform/Platform.h"
#include "platform/ReportDelivery.h"

#include <QDateTime>
#include <QSysInfo>

#include <optional>

namespace {

// What a text becomes on the wire: characters code page 932 lacks turn
// into "?" here, so that the byte count checked is the one sent.
QString onTheWire(const QString &text)
{
    return Cp932::decode(Cp932::encode(text));
}

// The original rule: the 26 bytes reserved for the closing text are the only
// allowance, and only the names themselves are counted.
QString reportBody(const QStringList &list, qsizetype maxNames, bool limited = true)
{
    static const QString colon = QStringLiteral("：");
    static const QString crlf = QStringLiteral("\r\n");
    QString body;
    const qsizetype count = list.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QString name = list.at(i).section(QLatin1Char('\t'), 0, 0);
        if (i >= maxNames) {
            // A shortened report does not leave an empty line before the tail.
            if (body.endsWith(crlf))
                body.chop(2);
            body += crlf + QStringLiteral("その他") + QString::number(count - i) + QStringLiteral("名");
            break;
        }
        if (limited && Cp932::byteLength(body) + Cp932::byteLength(name) + 26 > MessageByteLimit) {
            body += crlf + QStringLiteral("その他") + QString::number(count - i) + QStringLiteral("名");
            break;
        }
        if (i > 0 && !body.endsWith(QLatin1Char('\n')))
            body += colon;
        body += name;
        if (i > 0 && i % 6 == 0 && i + 1 < count)
            body += crlf;
    }
    return body;
}

} // namespace

QString ManagerClosingText(ReportKind kind)
{
    switch (kind) {
    case ReportKind::Login: return QStringLiteral("\r\nがログインしました。");
    case ReportKind::Logout: return QStringLiteral("\r\nがログアウトしました。");
    case ReportKind::AllLogin: return QStringLiteral("全員がログインしました。");
    case ReportKind::AllLogout: return QStringLiteral("全員がログアウトしました。");
    case ReportKind::Access: return QStringLiteral("\r\nにアクセスされています！");
    default: return {};
    }
}

QString ManagerReportText(ReportKind kind, const QStringList *list)
{
    const QString closing = ManagerClosingText(kind);
    if (!list)
        return closing;
    QString text = reportBody(*list, list->size()) + closing;
    // A report the send would refuse is shortened until it fits; one that
    // fits is left exactly as the rule built it.
    for (qsizetype names = list->size() - 1; Cp932::byteLength(text) > MessageByteLimit && names >= 0; --names)
        text = reportBody(*list, names) + closing;
    return text;
}

QStringList ManagerRecipients(const QString &manager)
{
    QStringList recipients;
    if (manager.isEmpty())
        return recipients;
    for (const QString &field : manager.split(QLatin1Char(','))) {
        if (field.isEmpty())
            break;
        recipients << field;
    }
    return recipients;
}

QByteArray MailslotName(QByteArrayView recipient)
{
    return QByteArray("\\\\") + recipient.toByteArray() + QByteArray("\\mailslot\\messngr");
}

QByteArray MailslotDatagram(QByteArrayView sender, QByteArrayView recipient, QByteArrayView text)
{
    QByteArray datagram;
    datagram.reserve(sender.size() + recipient.size() + text.size() + 3);
    datagram.append(sender).append('\0').append(recipient).append('\0').append(text).append('\0');
    return datagram;
}

Messenger::Messenger(MessageTransport &network, MailslotTransport &mailslot, std::function<QString()> computerName)
    : network_(network), mailslot_(mailslot), computerName_(std::move(computerName))
{
    if (!computerName_)
        computerName_ = [] { return NetbiosComputerName(QSysInfo::machineHostName()); };
}

bool Messenger::SendNetMessage(const QString &recipient, const QString &text)
{
    // Without a transport nothing is delivered, and the caller is told so.
    if (!network_.Available())
        return false;
    const QString sender = computerName_();
    if (sender.isEmpty())
        return false;
    const QString to = onTheWire(recipient);
    const QString message = onTheWire(text);
    if (Cp932::byteLength(to) > MessageByteLimit || Cp932::byteLength(message) > MessageByteLimit)
        return false;
    return network_.Send(to, onTheWire(sender), message);
}

bool Messenger::SendMailslotMessage(const QString &recipient, const QString &text)
{
    const QString sender = computerName_();
    if (sender.isEmpty())
        return false;
    const QByteArray to = Cp932::encode(recipient);
    const QByteArray message = Cp932::encode(text);
    if (to.size() > MessageByteLimit || message.size() > MessageByteLimit)
        return false;
    return mailslot_.Write(MailslotName(to), MailslotDatagram(Cp932::encode(sender), to, message));
}

bool Messenger::SendMessenger(const QString &recipient, const QString &text)
{
    switch (Family ? Family() : PlatformFamily) {
    case 2: return SendNetMessage(recipient, text);
    case 1: return SendMailslotMessage(recipient, text);
    default: return false;
    }
}

void Messenger::ReportToManager(ReportKind kind, const QStringList *list)
{
    if (Settings.Config.Manager.isEmpty())
        return;
    const QString text = ManagerReportText(kind, list);
    std::optional<Report> chat, mail;
    for (const QString &manager : ManagerRecipients(Settings.Config.Manager)) {
        if (!IsDeliveredRecipient(manager)) {
            SendMessenger(manager, text);
            continue;
        }
        if (!Delivery)
            continue;
        const QString recipient = manager.trimmed();
        const bool toMail = recipient.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
        std::optional<Report> &report = toMail ? mail : chat;
        if (!report) {
            const QString computer = computerName_().isEmpty() ? QSysInfo::machineHostName() : computerName_();
            report = DeliveredReport(kind, list, computer, toMail);
        }
        if (toMail)
            Delivery->setMail(MailSettingsOf(Settings.Mail));
        Delivery->deliver(recipient, *report);
    }
}

MailSettings MailSettingsOf(const ProgramSettings::MailSection &m)
{
    MailSettings s;
    s.server = m.Server.trimmed();
    s.port = m.Port >= 1 && m.Port <= 65535 ? m.Port : 587;
    const QString security = m.Security.trimmed().toLower();
    s.security = security == u"tls" ? MailSettings::Security::Tls
        : security == u"none"       ? MailSettings::Security::None
                                    : MailSettings::Security::StartTls;
    s.user = m.User;
    s.password = m.Password;
    s.from = m.From.trimmed();
    s.caFile = m.CAFile;
    return s;
}

bool IsDeliveredRecipient(const QString &field)
{
    QString f = field.trimmed();
    if (f.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return true;
    if (f.startsWith(QLatin1String("text+"), Qt::CaseInsensitive))
        f = f.mid(5);
    return f.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || f.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

Report DeliveredReport(ReportKind kind, const QStringList *list, const QString &computer, bool forMail)
{
    static const char *const events[] = {"", "login", "logout", "all-login", "all-logout", "access"};
    const int k = int(kind);
    Report r;
    r.event = QLatin1String(k >= 1 && k <= 5 ? events[k] : "");
    const QString closing = ManagerClosingText(kind).trimmed();
    QStringList lines;
    if (list) {
        for (const QString &line : *list) {
            const QString user = line.section(u'\t', 0, 0);
            const QString resource = line.section(u'\t', 1, 1);
            r.entries.append({user, resource});
            lines << (resource.isEmpty() ? user : user + QStringLiteral(" (") + resource + u')');
        }
    }
    if (forMail)
        r.text = (lines.isEmpty() ? QString() : lines.join(u'\n') + QStringLiteral("\n\n")) + closing;
    else
        r.text = (list ? reportBody(*list, list->size(), false) : QString()) + ManagerClosingText(kind);
    r.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    r.computer = computer;
    r.time = QDateTime::currentDateTime();
    r.subject = closing + QStringLiteral(" (") + computer + u')';
    return r;
}
