#include "console/ConsoleImages.h"

#include "config/SettingValues.h"

ConsoleImages &SharedImages()
{
    static ConsoleImages lists;
    return lists;
}

QString ListImageName(int index, bool large, int iconImageType, int offIconImageType)
{
    if (index < 0 || index >= (large ? ConsoleImages::LargeCount : ConsoleImages::SmallCount))
        return {};
    QString name = (large ? QStringLiteral("LARGE") : QStringLiteral("SMALL"))
                   + QStringLiteral("%1").arg(index + 1, 2, 10, QLatin1Char('0'));
    if (index == 0 && iconImageType >= IconImageVariant::A && iconImageType <= IconImageVariant::C)
        name += QLatin1Char(char('A' + iconImageType - IconImageVariant::A));
    else if (index == 1 && offIconImageType == IconImageVariant::A)
        name += QLatin1Char('A');
    return name;
}

QString ImageResourcePath(const QString &name)
{
    return QStringLiteral(":/images/") + name + QStringLiteral(".png");
}

namespace {

QPixmap loadImage(const QString &name)
{
    return QPixmap(ImageResourcePath(name));
}

}  // namespace

void ConsoleImages::Load(int iconImageType, int offIconImageType, bool smallIcon)
{
    iconImageType_ = iconImageType;
    offIconImageType_ = offIconImageType;
    small_.clear();
    for (int i = 0; i < SmallCount; ++i)
        small_.append(loadImage(ListImageName(i, false, iconImageType, offIconImageType)));
    LoadLarge(smallIcon);
    window_ = {loadImage(QStringLiteral("BITMAP1")), loadImage(QStringLiteral("BITMAP2")),
               loadImage(QStringLiteral("BITMAP3"))};
    access_ = {small_.value(0), loadImage(QStringLiteral("FOLDER")), loadImage(QStringLiteral("FILE"))};
}

void ConsoleImages::LoadLarge(bool smallIcon)
{
    large_.clear();
    for (int i = 0; i < LargeCount; ++i)
        large_.append(loadImage(ListImageName(i, !smallIcon, iconImageType_, offIconImageType_)));
}
