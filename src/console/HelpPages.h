#pragma once

// The HTML help: one page per window under the help folder, each window's
// place marked by the anchor "context-<number>". A window names its place
// with the property "helpContext"; F1 opens the page of the nearest window
// that has one, and the help menu opens the contents.

#include "console/Language.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <span>

class QWidget;

// The help contexts of the console's windows (the access list, the notice
// windows and the send-message dialog keep their own numbers: 50, 90, 110).
enum HelpContext : int {
    HelpContents = 0,
    HelpMain = 10,
    HelpEdit = 20,
    HelpUser = 21,
    HelpAddSet = 22,
    HelpConfig = 30,  // the settings dialog; its pages are 31 to 39 in tab order
    HelpConfigFirstPage = 31,
    HelpProperty = 40,
    HelpVersion = 41,
    HelpSession = 50,
    HelpReport = 90,
    HelpMessage = 110,
};

struct HelpPage {
    int context;
    const char *file;  // inside the help folder
};

// Every context that has a place in the help, with its page.
std::span<const HelpPage> HelpPages();

// The page for a context: its file and anchor; the contents (index.html,
// no anchor) for 0 and for a context without a place. In another language
// than Japanese the page of the language's subfolder ("en/main.html") when
// it has been written, else the Japanese page.
QUrl HelpUrl(const QString &helpDir, int context, const QString &language = ConsoleLanguageInUse());

// The first of the folders (each ending in '/') that holds the contents
// page, empty when none does.
QString FindHelpDir(const QStringList &candidates);
// Where the help is looked for: the program directory's "help/", then the
// "help/" beside the executable (the build copies the pages there; the
// program directory differs from it when CORVANE_DIR is set).
QStringList HelpDirCandidates();

// The help context of a widget: its own "helpContext" or the nearest
// parent's, 0 when none has one.
int HelpContextOf(const QWidget *widget);
