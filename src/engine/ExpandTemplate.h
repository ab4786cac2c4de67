#pragma once

// Fills the letters of an entry's login or logout action: "%" and a letter
// of `letters` (exact case) becomes the value at the letter's position, "%%"
// becomes "%", and any other "%" stays as written with the character after
// it. Empty text when letters and values do not pair up.
//
// The watch worker uses the letters "URCDNI": user name, resource name,
// status text before the change, domain, provider, address.

#include <QString>
#include <QStringList>

struct WatchEntry;

inline const QString EntryTemplateLetters = QStringLiteral("URCDNI");

// The values of EntryTemplateLetters for an entry: the "*" marks of names
// and addresses found during a pass are dropped, and the address loses the
// blanks that pad its groups in the list.
QStringList EntryTemplateValues(const WatchEntry &entry);

QString ExpandTemplate(const QString &text, const QString &letters, const QStringList &values);

// The words of an action's command line with the letters filled in: the
// action is split into words first (blanks separate them, double quotes
// group), then each word is filled, so that a value, whatever it holds, is
// part of exactly one argument. A word that would begin with "-" only
// because of a value (a name that reads as an option) makes the whole line
// unfit to run: the result is empty and refusedWord holds that word.
QStringList ExpandCommandWords(const QString &action, const QString &letters, const QStringList &values,
                               QString *refusedWord = nullptr);
