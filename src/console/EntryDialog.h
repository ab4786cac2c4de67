#pragma once

// The entry dialog of the watch-list editor: one watch entry's user name,
// actions, IP address, IP check and icon. Three modes: a terminal from the
// network (its resource name fixed), an entry added by IP address (the
// resource name editable, the IP check always on) and a separator (its name
// only). OK keeps the dialog open until its checks pass.

#include "engine/WatchEntry.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class IconComboBox;

class EntryDialog : public QDialog {
    Q_OBJECT

public:
    enum EntryKind { umTerminal, umIPEntry, umSeparator };

    explicit EntryDialog(EntryKind mode, QWidget *owner = nullptr);

    EntryKind Mode() const { return mode_; }

    // Fills the controls from an entry.
    void SetEntry(const WatchEntry &entry);
    // Takes the controls into an entry: the user name, the icon kind and,
    // except for a separator, the actions, the IP text and the IP check;
    // the resource name in IP-entry mode.
    void GetEntry(WatchEntry &entry) const;

    // The icon kind chosen in the icon list.
    int ChosenKind() const;

    // The checks of OK, each failing one reported in turn with the focus
    // moved to its box: a resource name that marks separators, an IP text
    // that is no address (a valid one is replaced by its padded form), an
    // IP entry with neither resource name nor IP text, an empty name.
    bool CheckInput();

    void pbOKClick();

    QLabel *lblUser = nullptr;
    QLineEdit *edUser = nullptr;
    QLabel *lblResource = nullptr;
    QLineEdit *edResource = nullptr;
    QLabel *lblLogin = nullptr;
    QLineEdit *edLogin = nullptr;
    QLabel *lblLogout = nullptr;
    QLineEdit *edLogout = nullptr;
    QLabel *lblIP = nullptr;
    QLineEdit *edIP = nullptr;
    QCheckBox *cbIPCheck = nullptr;
    QLabel *lblIcon = nullptr;
    IconComboBox *cmbIcon = nullptr;
    QPushButton *pbOK = nullptr;
    QPushButton *pbCancel = nullptr;

private:
    void warn(const QString &text, QWidget *focus);

    EntryKind mode_;
};
