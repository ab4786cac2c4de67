#include "console/EntryDialog.h"

#include "console/ConsoleImages.h"
#include "console/HelpPages.h"
#include "console/IconComboBox.h"
#include "engine/WatchList.h"
#include "process/ProcessFlags.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

EntryDialog::EntryDialog(EntryKind mode, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mode_(mode)
{
    setObjectName(QStringLiteral("fmUser"));
    const bool separator = mode == umSeparator;
    setWindowTitle(separator ? tr("Entry Separator Name") : tr("Entry User Name"));
    setProperty("helpContext", int(HelpUser));

    lblUser = new QLabel(separator ? tr("このセパレータの名前を入力して下さい。(&U)")
                                   : tr("この端末に対するﾕｰｻﾞｰ名を入力して下さい。(&U)"),
                         this);
    edUser = new QLineEdit(this);
    edUser->setObjectName(QStringLiteral("edUser"));
    lblUser->setBuddy(edUser);
    lblResource = new QLabel(mode == umIPEntry ? tr("ﾘｿｰｽ名(N)") : tr("ﾘｿｰｽ名"), this);
    edResource = new QLineEdit(this);
    edResource->setObjectName(QStringLiteral("edResource"));
    lblResource->setBuddy(edResource);
    if (mode == umIPEntry) {
        // Computer names are upper case on the network.
        connect(edResource, &QLineEdit::textEdited, this, [this](const QString &text) {
            const QString upper = text.toUpper();
            if (upper != text) {
                const int cursor = edResource->cursorPosition();
                edResource->setText(upper);
                edResource->setCursorPosition(cursor);
            }
        });
    } else {
        // Shown, not edited: in the button-face colour like a disabled box.
        edResource->setReadOnly(true);
        QPalette shown = edResource->palette();
        shown.setColor(QPalette::Base, shown.color(QPalette::Window));
        edResource->setPalette(shown);
        edResource->setFocusPolicy(Qt::NoFocus);
    }
    lblLogin = new QLabel(tr("ﾛｸﾞｲﾝAction"), this);
    edLogin = new QLineEdit(this);
    edLogin->setObjectName(QStringLiteral("edLogin"));
    lblLogin->setBuddy(edLogin);
    lblLogout = new QLabel(tr("ﾛｸﾞｱｳﾄAction"), this);
    edLogout = new QLineEdit(this);
    edLogout->setObjectName(QStringLiteral("edLogout"));
    lblLogout->setBuddy(edLogout);
    lblIP = new QLabel(tr("IPｱﾄﾞﾚｽ"), this);
    edIP = new QLineEdit(this);
    edIP->setObjectName(QStringLiteral("edIP"));
    edIP->setMaxLength(15);
    lblIP->setBuddy(edIP);
    cbIPCheck = new QCheckBox(tr("IPアドレス(Ping)で調査する(&S)"), this);
    cbIPCheck->setObjectName(QStringLiteral("cbIPCheck"));
    lblIcon = new QLabel(tr("ｱｲｺﾝ"), this);
    cmbIcon = new IconComboBox(this);
    cmbIcon->setObjectName(QStringLiteral("cmbIcon"));
    cmbIcon->SetImageList(SharedImages().Small());
    cmbIcon->setMinimumWidth(48);
    lblIcon->setBuddy(cmbIcon);
    if (separator)
        cmbIcon->addItem(QStringLiteral("08"));
    else
        cmbIcon->addItems({QStringLiteral("00"), QStringLiteral("09"), QStringLiteral("12"), QStringLiteral("15")});

    pbOK = new QPushButton(tr("&OK"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setDefault(true);
    pbCancel = new QPushButton(tr("&Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setAutoDefault(false);
    connect(pbOK, &QPushButton::clicked, this, &EntryDialog::pbOKClick);
    connect(pbCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (separator) {
        edResource->setText(tr("セパレータ"));
        for (QWidget *w : {static_cast<QWidget *>(lblLogin), static_cast<QWidget *>(edLogin),
                           static_cast<QWidget *>(lblLogout), static_cast<QWidget *>(edLogout),
                           static_cast<QWidget *>(lblIP), static_cast<QWidget *>(edIP),
                           static_cast<QWidget *>(cbIPCheck), static_cast<QWidget *>(cmbIcon)})
            w->setEnabled(false);
    }
    if (mode == umIPEntry) {
        cbIPCheck->setChecked(true);
        cbIPCheck->setEnabled(false);
    }

    auto *grid = new QGridLayout;
    int row = 0;
    grid->addWidget(lblUser, row++, 0, 1, 2);
    grid->addWidget(edUser, row++, 0, 1, 2);
    grid->addWidget(lblResource, row, 0);
    grid->addWidget(edResource, row++, 1);
    grid->addWidget(lblLogin, row, 0);
    grid->addWidget(edLogin, row++, 1);
    grid->addWidget(lblLogout, row, 0);
    grid->addWidget(edLogout, row++, 1);
    grid->addWidget(lblIP, row, 0);
    grid->addWidget(edIP, row++, 1);
    grid->addWidget(cbIPCheck, row++, 1);
    grid->addWidget(lblIcon, row, 0);
    auto *icon = new QHBoxLayout;
    icon->addWidget(cmbIcon);
    icon->addStretch();
    grid->addLayout(icon, row++, 1);
    grid->setColumnMinimumWidth(1, 300);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pbOK);
    buttons->addWidget(pbCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void EntryDialog::SetEntry(const WatchEntry &entry)
{
    edUser->setText(entry.UserName);
    if (mode_ != umSeparator) {
        edResource->setText(entry.ResourceName);
        edLogin->setText(entry.LoginAction);
        edLogout->setText(entry.LogoutAction);
        edIP->setText(entry.Address);
        cbIPCheck->setChecked(entry.IPCheck || mode_ == umIPEntry);
    }
    const int index = cmbIcon->findText(QStringLiteral("%1").arg(int(entry.Kind), 2, 10, QLatin1Char('0')));
    cmbIcon->setCurrentIndex(index >= 0 ? index : 0);
}

int EntryDialog::ChosenKind() const
{
    return std::max(EntryImageIndex(cmbIcon->currentText()), 0);
}

void EntryDialog::GetEntry(WatchEntry &entry) const
{
    entry.UserName = edUser->text();
    entry.Kind = IconKind(ChosenKind());
    if (mode_ == umSeparator)
        return;
    if (mode_ == umIPEntry)
        entry.ResourceName = edResource->text();
    entry.LoginAction = edLogin->text();
    entry.LogoutAction = edLogout->text();
    entry.Address = edIP->text();
    entry.IPCheck = cbIPCheck->isChecked();
}

void EntryDialog::warn(const QString &text, QWidget *focus)
{
    QMessageBox::warning(this, AppTitle, text);
    focus->setFocus();
}

bool EntryDialog::CheckInput()
{
    bool ok = true;
    if (mode_ != umSeparator && edResource->text() == SeparatorText) {
        warn(tr("このリソース名は使えません。"), edResource);
        ok = false;
    }
    // A separator has no address to check: its box is disabled.
    if (mode_ != umSeparator) {
        QString address = edIP->text();
        if (!NormaliseAddress(edIP->text(), address)) {
            warn(tr("有効なIPアドレスを入力してください。"), edIP);
            ok = false;
        } else if (address != edIP->text()) {
            edIP->setText(address);
        }
    }
    if (mode_ == umIPEntry && edResource->text().isEmpty() && edIP->text().isEmpty()) {
        warn(tr("ﾘｿｰｽ名、若しくはIPを入力して下さい。"), edResource);
        ok = false;
    }
    if (edUser->text().isEmpty()) {
        warn(mode_ == umSeparator ? tr("このセパレータの名前を入力して下さい。")
                                  : tr("この端末に対するﾕｰｻﾞｰ名を入力して下さい。"),
             edUser);
        ok = false;
    }
    return ok;
}

void EntryDialog::pbOKClick()
{
    if (CheckInput())
        accept();
}
