#pragma once

// The bodies a webhook receives.
//
// The JSON object's "text" is shown by chat services that read Slack's
// format (Slack, Mattermost, Rocket.Chat, and Discord's Slack-compatible
// endpoint), so the names in it, which clients chose, are made unable to
// mention anyone or to form a link:
//
//   - '&', '<' and '>' become "&amp;", "&lt;" and "&gt;" (Slack's own escapes:
//     "<!channel>" or "<https://…|click>" in a name is shown as written);
//   - every '@' is followed by a zero-width space (U+200B), so "@channel",
//     "@here", "@everyone" or "@someone" notifies nobody, and an address
//     still reads as written;
//   - "](" becomes "]" U+200B "(", so "[text](url)" is no Markdown link.
//
// The raw names, JSON-escaped only, are in "entries". The plain-text body
// (text+http(s)://) is the report's text as it is.

#include "platform/ReportDelivery.h"

#include <QByteArray>
#include <QString>

namespace ReportWebhook {

// The text with the escapes above.
QString chatSafe(const QString &text);

// {"text", "event", "computer", "time" (ISO 8601 with the offset), "entries"}
// in UTF-8.
QByteArray json(const Report &report);

} // namespace ReportWebhook
