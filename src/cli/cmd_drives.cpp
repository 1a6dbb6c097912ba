// merido-tool drives [--storage]: the sources the selection window lists, one per line:
// the list text (label with "(KRFS)" removed), kind and disk node, tab separated. With
// --storage, the storage window's list instead, with each disk's capacity in KiB.
#include "commands.h"

#include "drives.h"

#include <cstdio>

namespace {

// The catalogue's default label for the PC-folder source.
constexpr const char *kPcFolderLabel = "Find in My Computer";

} // namespace

int cli::cmdDrives(const QStringList &args)
{
    const bool storage = args == QStringList{QStringLiteral("--storage")};
    if (!args.isEmpty() && !storage)
        return usageError("drives", QStringLiteral("expects no arguments or --storage"));
    std::vector<DriveEntry> drives;
    if (storage)
        enumerateStorageDrives(drives);
    else
        enumerateDrives(QString::fromLatin1(kPcFolderLabel), drives);
    for (const DriveEntry &d : drives) {
        std::printf("%s\t%d\t%s", qPrintable(driveListText(d)), d.kind, d.physicalPath.c_str());
        if (storage)
            std::printf("\t%u", d.capacityKiB);
        std::printf("\n");
    }
    return 0;
}
