#pragma once

// The language of the console's texts: Japanese, the language they are
// written in, or English. What goes into files or to other computers never
// changes with it.

#include <QByteArray>
#include <QString>

#include <functional>

// "ja" or "en". [Config] Language when it is one of them; else the user's
// locale as gettext reads it: the first entry of LANGUAGE that is Japanese
// or English (unless the locale is C or POSIX, which ignores LANGUAGE), else
// the first of LC_ALL, LC_MESSAGES and LANG that is set. Japanese for a
// Japanese locale, English for every other.
QString ConsoleLanguage(const QString &configured);
QString ConsoleLanguage(const QString &configured, const std::function<QByteArray(const char *)> &environment);

// Shows the texts of the windows made from now on in `language` ("ja" or
// "en"). False when the program holds no translation for it.
bool UseConsoleLanguage(const QString &language);
// The language the windows are shown in: the last one UseConsoleLanguage
// took, Japanese until then or when it failed.
QString ConsoleLanguageInUse();
