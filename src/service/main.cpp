#include "console/TfmMain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // No display: run on the offscreen platform, every window exists unseen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TfmMain fmMain;
    fmMain.show();
    return app.exec();
}
