#include "platform/SambaStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

QDateTime timeOf(const QJsonValue &value)
{
    const QDateTime t = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

// Samba writes numbers as strings in some places and as numbers in others.
QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toInteger());
    return {};
}

qint64 integerOf(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toInteger(-1);
    bool ok = false;
    const qint64 n = value.toString().toLongLong(&ok);
    return ok ? n : -1;
}

QString serverIdOf(const QJsonValue &value)
{
    const QJsonObject id = value.toObject();
    if (id.isEmpty())
        return {};
    return textOf(id.value(QLatin1String("pid"))) + QLatin1Char('/') + textOf(id.value(QLatin1String("unique_id")));
}

} // namespace

QString SambaClientAddress(const QString &hostname)
{
    QStringView text(hostname);
    if (text.startsWith(QLatin1String("ipv4:"))) {
        text = text.mid(5);
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        return (colon > 0 ? text.left(colon) : text).toString();
    }
    if (text.startsWith(QLatin1String("ipv6:"))) {
        text = text.mid(5);
        if (text.startsWith(QLatin1Char('['))) {
            const qsizetype close = text.indexOf(QLatin1Char(']'));
            if (close > 0)
                return text.mid(1, close - 1).toString();
        }
        return text.toString();
    }
    return hostname;
}

bool ParseSambaStatus(QByteArrayView json, SambaStatus &status)
{
    status = SambaStatus();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    status.Timestamp = timeOf(root.value(QLatin1String("timestamp")));

    const QJsonObject sessions = root.value(QLatin1String("sessions")).toObject();
    for (auto it = sessions.begin(); it != sessions.end(); ++it) {
        const QJsonObject s = it.value().toObject();
        SambaStatus::Session session;
        session.Id = textOf(s.value(QLatin1String("session_id")));
        if (session.Id.isEmpty())
            session.Id = it.key();
        session.ServerId = serverIdOf(s.value(QLatin1String("server_id")));
        session.UserName = textOf(s.value(QLatin1String("username")));
        session.RemoteMachine = textOf(s.value(QLatin1String("remote_machine")));
        session.Address = SambaClientAddress(textOf(s.value(QLatin1String("hostname"))));
        const QJsonValue uid = s.value(QLatin1String("uid"));
        session.Uid = integerOf(uid);
        // A client still logging on has no user yet (the server shows it as
        // "(auth in progress)" with uid -1); it becomes a session, and a new
        // terminal, at the first scan after its logon.
        if (session.UserName == QLatin1String("(auth in progress)")
            || ((uid.isDouble() || uid.isString()) && session.Uid == -1))
            continue;
        status.Sessions.push_back(std::move(session));
    }

    const QJsonObject tcons = root.value(QLatin1String("tcons")).toObject();
    for (auto it = tcons.begin(); it != tcons.end(); ++it) {
        const QJsonObject t = it.value().toObject();
        SambaStatus::ShareConnection tcon;
        tcon.SessionId = textOf(t.value(QLatin1String("session_id")));
        tcon.ServerId = serverIdOf(t.value(QLatin1String("server_id")));
        tcon.Service = textOf(t.value(QLatin1String("service")));
        tcon.ConnectedAt = timeOf(t.value(QLatin1String("connected_at")));
        if (!tcon.Service.isEmpty())
            status.ShareConnections.push_back(std::move(tcon));
    }

    const QJsonObject files = root.value(QLatin1String("open_files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject f = it.value().toObject();
        SambaStatus::File file;
        file.ServicePath = textOf(f.value(QLatin1String("service_path")));
        const QString name = textOf(f.value(QLatin1String("filename")));
        // The key is the full path; build it from its parts when the key
        // is not an absolute path.
        file.Path = it.key();
        if (!file.Path.startsWith(QLatin1Char('/')) && !file.ServicePath.isEmpty() && !name.isEmpty())
            file.Path = file.ServicePath + QLatin1Char('/') + name;
        const QJsonObject opens = f.value(QLatin1String("opens")).toObject();
        for (auto o = opens.begin(); o != opens.end(); ++o) {
            const QJsonObject v = o.value().toObject();
            SambaStatus::Open open;
            open.ServerId = serverIdOf(v.value(QLatin1String("server_id")));
            open.Uid = integerOf(v.value(QLatin1String("uid")));
            open.OpenedAt = timeOf(v.value(QLatin1String("opened_at")));
            file.Opens.push_back(std::move(open));
        }
        if (!file.Path.isEmpty())
            status.Files.push_back(std::move(file));
    }
    return true;
}
