#include "console/PropertiesDialog.h"

#include "config/Settings.h"
#include "console/ConsoleImages.h"
#include "console/HelpPages.h"
#include "engine/WatchEntry.h"
#include "platform/Platform.h"
#include "platform/SambaPlatformQuery.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The status line by image index.
QString StatusOf(int image)
{
    switch (image) {
    case 0: case 9: case 12: case 15: return PropertiesDialog::tr("ﾛｸﾞｲﾝ");
    case 1: case 10: case 13: case 16: return PropertiesDialog::tr("ﾛｸﾞｱｳﾄ");
    case 2: case 11: case 14: case 17: return PropertiesDialog::tr("未確認");
    case 3: return PropertiesDialog::tr("お休み");
    case 4: return PropertiesDialog::tr("ﾈｯﾄﾜｰｸｴﾗｰ");
    case 5: return PropertiesDialog::tr("ﾜｰｸｸﾞﾙｰﾌﾟ");
    case 7: return PropertiesDialog::tr("ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ");
    default: return {};
    }
}

bool FamilyKnowsRemoteSystems()
{
    return PlatformFamily == 1 || PlatformFamily == 2;
}

}  // namespace

int EntryStateImage(int kind, int state, int shown)
{
    const bool iconKind = kind == KindStandard || kind == KindSecond || kind == KindThird || kind == KindFourth;
    switch (state) {
    case StateLoggedIn:
    case StateLoggedOut: return iconKind ? kind + state : shown;
    case StateUnconfirmed: return iconKind ? UnconfirmedImage(kind) : shown;
    case StateResting: return ImageResting;
    case StateWatchError: return ImageWatchError;
    default: return shown;
    }
}

PropertiesDialog::PropertiesDialog(QWidget *owner, const PropertyRecord &record, RemotePlatformQuery remotePlatform)
    : QDialog(owner), remotePlatform_(std::move(remotePlatform))
{
    setObjectName(QStringLiteral("fmProp"));
    setWindowTitle(tr("Property"));
    setProperty("helpContext", int(record.ImageIndex == VersionImageIndex ? HelpVersion : HelpProperty));
    if (!remotePlatform_) {
        remotePlatform_ = [](const QString &computer, const QString &domain) {
            SambaPlatformQuery browser;
            return RemotePlatformName(computer, domain, browser);
        };
    }

    auto *top = new QVBoxLayout(this);
    auto *heading = new QHBoxLayout;
    imgIcon = new QLabel(this);
    imgIcon->setFixedSize(32, 32);
    heading->addWidget(imgIcon);
    auto *grid = new QGridLayout;
    const std::array<QString, LineCount> captions = {QString(), tr("ﾘｿｰｽ名:"), tr("ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ:"), tr("ｺﾒﾝﾄ:"),
                                                     tr("ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ:"), tr("ｽﾃｰﾀｽ:"),
                                                     tr("ｵﾍﾟﾚｰﾃｨﾝｸﾞｼｽﾃﾑ:"), tr("Result:")};
    for (int i = 0; i < LineCount; ++i) {
        captions_[size_t(i)] = new QLabel(captions[size_t(i)], this);
        values_[size_t(i)] = new QLineEdit(this);
        values_[size_t(i)]->setReadOnly(true);
        values_[size_t(i)]->setFrame(false);
        values_[size_t(i)]->setMinimumWidth(260);
        // Read-only values look like labels but can still be copied.
        values_[size_t(i)]->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    }
    // The user name is the dialog's heading, beside the picture.
    QFont bold = values_[LineUser]->font();
    bold.setBold(true);
    values_[LineUser]->setFont(bold);
    captions_[LineUser]->hide();
    heading->addWidget(values_[LineUser], 1);
    top->addLayout(heading);
    for (int i = LineResource; i < LineCount; ++i) {
        grid->addWidget(captions_[size_t(i)], i, 0);
        grid->addWidget(values_[size_t(i)], i, 1);
    }
    top->addLayout(grid);
    pbOK = new QPushButton(tr("&OK"), this);
    pbOK->setDefault(true);
    connect(pbOK, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pbOK);
    top->addLayout(buttons);

    Fill(record);
}

int PropertiesDialog::Execute(QWidget *owner, const PropertyRecord &record, RemotePlatformQuery remotePlatform)
{
    PropertiesDialog dialog(owner, record, std::move(remotePlatform));
    return dialog.exec();
}

int PropertiesDialog::ShowVersion(QWidget *owner, RemotePlatformQuery remotePlatform)
{
    PropertyRecord record;
    record.ImageIndex = VersionImageIndex;
    return Execute(owner, record, std::move(remotePlatform));
}

void PropertiesDialog::set(Line line, const QString &value, bool shown)
{
    QLineEdit *edit = values_[size_t(line)];
    edit->setText(value);
    edit->setCursorPosition(0);
    // Long values (a system's full name) widen the dialog rather than hide
    // their ends.
    edit->setMinimumWidth(std::clamp(edit->fontMetrics().horizontalAdvance(value) + 16, 260, 560));
    values_[size_t(line)]->setHidden(!shown);
    if (line != LineUser)
        captions_[size_t(line)]->setHidden(!shown);
}

void PropertiesDialog::hide(Line line)
{
    set(line, QString(), false);
}

bool PropertiesDialog::LineShown(Line line) const
{
    return !values_[size_t(line)]->isHidden();
}

QString PropertiesDialog::LineCaption(Line line) const
{
    return captions_[size_t(line)]->text();
}

QString PropertiesDialog::LineValue(Line line) const
{
    return values_[size_t(line)]->text();
}

QPixmap PropertiesDialog::Image() const
{
    return imgIcon->pixmap();
}

void PropertiesDialog::Fill(const PropertyRecord &r)
{
    const int image = r.ImageIndex;
    if (!SharedImages().IsLoaded())
        SharedImages().Load(Settings.Krovan.IconImageType, Settings.Krovan.OffIconImageType, Settings.Config.SmallIcon);
    if (image >= 0 && image <= 17 && image != 8)
        imgIcon->setPixmap(SharedImages().LargeImage(image));

    if (r.IPMode) {
        captions_[LineComment]->setText(tr("IPｱﾄﾞﾚｽ:"));
        captions_[LineProvider]->setText(tr("MACｱﾄﾞﾚｽ:"));
    }
    const QString status = StatusOf(image);

    switch (image) {
    case 0:
    case 9:
    case 12:
    case 15:
        if ((image == 0 || image == 9) && FamilyKnowsRemoteSystems())
            set(LineOS, r.Domain.isEmpty() ? QString() : remotePlatform_(r.ResourceName, r.Domain));
        else
            hide(LineOS);
        set(LineUser, r.UserName);
        set(LineResource, r.ResourceName, !r.ResourceName.isEmpty());
        set(LineDomain, r.Domain, !r.Domain.isEmpty());
        set(LineComment, r.Comment);
        set(LineProvider, r.Provider);
        set(LineStatus, status);
        set(LineResult, QCoreApplication::translate("Probe", r.Result.toUtf8().constData()));
        break;
    case 5:
        set(LineUser, r.UserName);
        set(LineResource, r.ResourceName, !r.ResourceName.isEmpty());
        set(LineDomain, r.Domain, !r.Domain.isEmpty());
        set(LineComment, r.Comment, !r.Comment.isEmpty());
        set(LineProvider, r.Provider);
        set(LineStatus, status);
        hide(LineOS);
        hide(LineResult);
        break;
    case 7:
        set(LineUser, r.UserName);
        set(LineResource, r.ResourceName);
        hide(LineDomain);
        hide(LineComment);
        hide(LineProvider);
        set(LineStatus, status);
        hide(LineOS);
        hide(LineResult);
        break;
    case 8:
        break;
    case VersionImageIndex: {
        set(LineUser, AppTitle);
        set(LineOS, remotePlatform_(QString::fromLatin1(GetMyOsVersion), QString()));
        SambaPlatformQuery browser;
        set(LineResource, browser.ComputerName());
        hide(LineDomain);
        // Where this run keeps its settings and list: an installed program
        // may use the user's configuration folder instead of its own.
        captions_[LineComment]->setText(tr("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ:"));
        set(LineComment, ProgramDir);
        hide(LineProvider);
        hide(LineStatus);
        hide(LineResult);
        break;
    }
    default:
        if (image < 0 || image > 17)
            break;
        set(LineUser, r.UserName);
        set(LineResource, r.ResourceName);
        set(LineDomain, r.Domain);
        set(LineComment, r.IPMode ? r.Comment : QString());
        set(LineProvider, r.IPMode ? r.Provider : QString());
        set(LineOS, QString(), FamilyKnowsRemoteSystems());
        set(LineStatus, status);
        set(LineResult, QCoreApplication::translate("Probe", r.Result.toUtf8().constData()));
        break;
    }
}
