#pragma once

// Asks for a folder: the folder browser with a prompt, preselecting the
// current folder. Only folders of the file system can be chosen.

#include <QObject>
#include <QString>

class QWidget;

class FolderDialog : public QObject {
    Q_OBJECT

public:
    explicit FolderDialog(QWidget *owner = nullptr);

    // When false, the browser stays on this machine's file system.
    bool CanNetwork = false;
    // The prompt shown above the folders.
    QString Message;
    // In: the folder to preselect. Out: the chosen folder.
    QString Folder;

    // True with Folder set on OK; false with Folder unchanged on cancel.
    bool Execute();

private:
    QWidget *owner_;
};

// The folder to preselect: a trailing separator is dropped, except from a
// root ("/", "C:\").
QString FolderToPreselect(const QString &folder);
