#include "platform/NetworkName.h"

bool IsPlainNetworkName(QStringView name)
{
    if (name.isEmpty() || name.front() == u'-')
        return false;
    for (const QChar c : name) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            if (c.isSpace())
                return false;
        }
    }
    return true;
}
