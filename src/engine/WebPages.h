#pragma once

// What the HTTP endpoint answers, rendered from one watch snapshot: the
// live list as a page, the terminals and the access sessions as JSON, the
// counters in Prometheus's text format, and the login form. Pure functions
// of their arguments, safe on any thread. Every text from the snapshot (a
// name a client chose among them) is escaped for the format it goes into.

#include "engine/WatchSnapshot.h"

#include <QByteArray>
#include <QString>

namespace WebPages {

// The live list, one table per group in list order, in the snapshot's
// language; it reloads itself every 10 seconds.
QByteArray ListPage(const WatchSnapshot &snapshot);

// [{"resource", "user", "group", "address", "state", "since", "seen_by"}...]:
// since is ISO 8601 with the offset from UTC, null when unknown.
QByteArray TerminalsJson(const WatchSnapshot &snapshot);

// [{"user", "terminal", "shares": [...], "connected_seconds",
// "idle_seconds"}...]
QByteArray AccessJson(const WatchSnapshot &snapshot);

// Prometheus text format 0.0.4.
QByteArray Metrics(const WatchSnapshot &snapshot);

// The form that takes the token; wrongToken adds that the last one was
// wrong. language is "ja" or "en".
QByteArray LoginPage(const QString &language, bool wrongToken);

// The answer to a browser without a valid session: a link to the form.
QByteArray LoginNeededPage(const QString &language);

} // namespace WebPages
