#pragma once

// "corvane REPORT [YYYY-MM-DD] [FILE]": the day's report (today when no date
// is given) written to FILE, or to standard output, for a cron job or a web
// folder. It starts neither the console nor any watching and needs no
// display; the settings file is only read.

#include <QString>
#include <QStringList>

#include <functional>

// The first argument is REPORT (any case, a leading "/" or "-" allowed).
bool IsReportCommand(const QStringList &arguments);

// Runs the command; the exit code: 0 written, 1 the file could not be
// written, 2 the arguments were not understood. Once the settings are read,
// useLanguage gets [Config] Language and sets the page's language.
int RunReportCommand(const QStringList &arguments, const QString &programDir,
                     const std::function<void(const QString &configured)> &useLanguage = {});
