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

inline const QString EntryTemplateLetters = QStringLiteral("URCDNI");

QString ExpandTemplate(const QString &text, const QString &letters, const QStringList &values);
