#include "toolconfig.h"

#include "recordingcatalogue.h"
#include "viewerconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

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

bool cli::selectToolSource(RecordingCatalogue &catalogue, const QString &sourcePath, QObject &owner, const char *command)
{
    const QFileInfo source(sourcePath);
    int index = -1;
    if (source.isDir()) {
        catalogue.enumerateDrives();
        const QString path = source.canonicalFilePath();
        for (size_t i = 0; i + 1 < catalogue.drives.size(); ++i) {
            if (QFileInfo(catalogue.drives[i].mountPoint).canonicalFilePath() == path)
                index = int(i);
        }
        if (index < 0) { // not a card: the PC folder, with the picker answering SOURCE
            index = int(catalogue.drives.size()) - 1;
            catalogue.ownerWindow = &owner;
            catalogue.folderPicker = [path] { return path; };
        }
    } else if (source.exists()) {
        DriveEntry image;
        image.label = source.filePath();
        image.physicalPath = QFile::encodeName(source.filePath()).toStdString();
        image.kind = DriveKrfs;
        catalogue.drives = {image};
        index = 0;
    } else {
        std::fprintf(stderr, "merido-tool %s: %s does not exist\n", command, qPrintable(source.filePath()));
        return false;
    }
    if (!catalogue.selectSource(index)) {
        std::fprintf(stderr, "merido-tool %s: no recordings could be loaded from %s\n", command,
                     qPrintable(source.filePath()));
        return false;
    }
    return true;
}
