#pragma once

// Names that other computers give about themselves (a NetBIOS answer,
// WS-Discovery metadata, a reverse lookup) are untrusted: they go into the
// list, the records and the entries' actions.

#include <QStringView>

// Whether such a name may stand for a computer: not empty, no blank of any
// kind (the ideographic and the no-break space among them), no control or
// format character, and no leading "-" that a program would read as an
// option. A name that fails is treated as no name at all.
bool IsPlainNetworkName(QStringView name);
