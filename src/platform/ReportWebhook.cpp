#include "platform/ReportWebhook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ReportWebhook {

QString chatSafe(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else if (c == u'@')
            out += QStringLiteral("@\u200B");
        else if (c == u']' && i + 1 < text.size() && text[i + 1] == u'(')
            out += QStringLiteral("]\u200B");
        else
            out += c;
    }
    return out;
}

QByteArray json(const Report &report)
{
    QJsonArray entries;
    for (const auto &[user, resource] : report.entries)
        entries.append(QJsonObject{{QStringLiteral("user"), user}, {QStringLiteral("resource"), resource}});
    const QDateTime time = report.time.isValid() ? report.time : QDateTime::currentDateTime();
    const QJsonObject body{
        {QStringLiteral("text"), chatSafe(report.text)},
        {QStringLiteral("event"), report.event},
        {QStringLiteral("computer"), report.computer},
        {QStringLiteral("time"), time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("entries"), entries},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace ReportWebhook
