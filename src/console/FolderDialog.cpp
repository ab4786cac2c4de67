#include "console/FolderDialog.h"

#include <QDir>
#include <QFileDialog>

QString FolderToPreselect(const QString &folder)
{
    QString f = folder;
    while (f.size() > 1 && (f.endsWith(QLatin1Char('/')) || f.endsWith(QLatin1Char('\\')))
           && f[f.size() - 2] != QLatin1Char(':'))
        f.chop(1);
    return f;
}

FolderDialog::FolderDialog(QWidget *owner)
    : QObject(owner), owner_(owner)
{
}

bool FolderDialog::Execute()
{
    QFileDialog dialog(owner_, Message);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::LookIn, Message);
    // The platform's own dialog may offer network places; ours does not.
    if (!CanNetwork)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QString start = FolderToPreselect(Folder);
    if (!start.isEmpty())
        dialog.setDirectory(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    Folder = QDir::toNativeSeparators(dialog.selectedFiles().first());
    return true;
}
