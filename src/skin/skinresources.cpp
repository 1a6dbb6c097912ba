#include "skinresources.h"

#include "resourcefilecheck.h"

#include <QFile>
#include <QResource>

#include <list>

namespace {

// Far above any skin (a few hundred KiB); a bigger file is not ours.
constexpr qint64 kMaxLibraryBytes = 64 * 1024 * 1024;

} // namespace

bool loadResourceLibrary(const QString &rccPath)
{
    QFile file(rccPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLibraryBytes)
        return false;
    QByteArray data = file.readAll();
    if (!isWellFormedResourceFile(data))
        return false;
    // Qt reads the registered bytes in place, and the library stays loaded for the whole
    // run, so the checked copy is kept until the process ends.
    static std::list<QByteArray> libraries;
    libraries.push_back(std::move(data));
    if (QResource::registerResource(reinterpret_cast<const uchar *>(libraries.back().constData())))
        return true;
    libraries.pop_back();
    return false;
}

QPixmap skinBitmap(int id)
{
    return QPixmap(QStringLiteral(":/skin/%1.png").arg(id));
}

QPixmap ownBitmap(int id)
{
    return QPixmap(QStringLiteral(":/own/%1.png").arg(id));
}
