#include "skinresources.h"

#include <QResource>

QPixmap skinBitmap(int id)
{
    return QPixmap(QStringLiteral(":/skin/%1.png").arg(id));
}

QPixmap ownBitmap(int id)
{
    return QPixmap(QStringLiteral(":/own/%1.png").arg(id));
}
