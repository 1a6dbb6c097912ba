// merido-tool skin-sheet OUT.png: every skin bitmap with its id on one contact sheet.
#include "commands.h"

#include "skinresources.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int cli::cmdSkinSheet(const QStringList &args)
{
    if (args.size() != 1)
        return usageError("skin-sheet", QStringLiteral("expects one argument, the output PNG file"));

    // The resource library sits next to the executables, as the viewer expects it.
    const QString rcc = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ResourceDll.rcc"));
    if (!loadResourceLibrary(rcc)) {
        std::fprintf(stderr, "merido-tool skin-sheet: Not Find ResourceDll (%s)\n", qPrintable(rcc));
        return 1;
    }
    QString error;
    if (!renderSkinSheet(args.first(), &error)) {
        std::fprintf(stderr, "merido-tool skin-sheet: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
