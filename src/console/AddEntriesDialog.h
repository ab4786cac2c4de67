#pragma once

// The addition dialog of the watch-list editor: how a whole workgroup, or
// every dropped terminal, is added. Automatic (the default) adds them all
// at once with the user names and IP check chosen here; manual opens the
// entry dialog for each one.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class AddEntriesDialog : public QDialog {
    Q_OBJECT

public:
    // A workgroup's name: its terminals are added. An empty name: the
    // dropped terminals are added.
    explicit AddEntriesDialog(const QString &workgroup, QWidget *owner = nullptr);

    bool Manual() const;
    // The user name is the terminal's name rather than its comment.
    bool UseTerminalName() const;
    bool IPCheck() const;

    QLabel *lblName = nullptr;
    QLabel *lblText = nullptr;
    QGroupBox *gbAdd = nullptr;
    QRadioButton *rbAuto = nullptr;
    QRadioButton *rbManual = nullptr;
    QGroupBox *gbUser = nullptr;
    QRadioButton *rbTerminalName = nullptr;
    QRadioButton *rbComment = nullptr;
    QCheckBox *cbIPCheck = nullptr;
    QPushButton *pbOK = nullptr;
    QPushButton *pbCancel = nullptr;
};
