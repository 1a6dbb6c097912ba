#include "toolconfig.h"

#include "viewerconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

bool cli::loadToolConfig(ViewerConfig &config, const QString &given)
{
    if (!given.isEmpty())
        return config.Load(given);
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/viewerconfig.cfg");
    if (QFileInfo::exists(beside) && config.Load(beside))
        return true;
    // The loader reads files only, so the compiled-in copy goes through a temporary file.
    QTemporaryFile copy;
    QFile shipped(QStringLiteral(":/default/viewerconfig.cfg"));
    if (!copy.open() || !shipped.open(QIODevice::ReadOnly) || copy.write(shipped.readAll()) < 0 || !copy.flush())
        return false;
    return config.Load(copy.fileName());
}
