#include "console/TfmMain.h"

TfmMain::TfmMain(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Corvane Ver 2.10a"));
}
