#include "console/AddEntriesDialog.h"

#include "console/HelpPages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

AddEntriesDialog::AddEntriesDialog(const QString &workgroup, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fmAddSet"));
    setWindowTitle(tr("Addition Setting"));
    setProperty("helpContext", int(HelpAddSet));

    lblName = new QLabel(workgroup, this);
    lblName->setObjectName(QStringLiteral("lblName"));
    QFont bold = lblName->font();
    bold.setBold(true);
    lblName->setFont(bold);
    lblText = new QLabel(workgroup.isEmpty() ? tr("Dropされた端末をすべて追加します")
                                             : tr("に所属する端末をすべて追加します"),
                         this);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblName->setVisible(!workgroup.isEmpty());

    gbAdd = new QGroupBox(tr("監視端末へ追加"), this);
    rbAuto = new QRadioButton(tr("自動(&A)"), gbAdd);
    rbAuto->setObjectName(QStringLiteral("rbAuto"));
    rbManual = new QRadioButton(tr("手動(&M)"), gbAdd);
    rbManual->setObjectName(QStringLiteral("rbManual"));
    rbAuto->setChecked(true);
    auto *add = new QHBoxLayout(gbAdd);
    add->addWidget(rbAuto);
    add->addWidget(rbManual);
    add->addStretch();

    gbUser = new QGroupBox(tr("ユーザー名(&U)"), this);
    rbTerminalName = new QRadioButton(tr("端末名を使用"), gbUser);
    rbTerminalName->setObjectName(QStringLiteral("rbTerminalName"));
    rbComment = new QRadioButton(tr("コメントを使用"), gbUser);
    rbComment->setObjectName(QStringLiteral("rbComment"));
    rbComment->setChecked(true);
    auto *user = new QHBoxLayout(gbUser);
    user->addWidget(rbTerminalName);
    user->addWidget(rbComment);
    user->addStretch();

    cbIPCheck = new QCheckBox(tr("IPアドレス(Ping)で調査する(&S)"), this);
    cbIPCheck->setObjectName(QStringLiteral("cbIPCheck"));
    cbIPCheck->setChecked(true);

    // Manual addition asks for each terminal in the entry dialog instead.
    connect(rbManual, &QRadioButton::toggled, this, [this](bool manual) {
        gbUser->setEnabled(!manual);
        cbIPCheck->setEnabled(!manual);
    });

    pbOK = new QPushButton(tr("&OK"), this);
    pbOK->setDefault(true);
    pbCancel = new QPushButton(tr("&Cancel"), this);
    pbCancel->setAutoDefault(false);
    connect(pbOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(pbCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pbOK);
    buttons->addWidget(pbCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblName);
    layout->addWidget(lblText);
    layout->addWidget(gbAdd);
    layout->addWidget(gbUser);
    layout->addWidget(cbIPCheck);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool AddEntriesDialog::Manual() const
{
    return rbManual->isChecked();
}

bool AddEntriesDialog::UseTerminalName() const
{
    return rbTerminalName->isChecked();
}

bool AddEntriesDialog::IPCheck() const
{
    return cbIPCheck->isChecked();
}
