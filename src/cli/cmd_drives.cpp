// merido-tool drives [--storage] [--config FILE]: the sources the selection window lists,
// one per line: the list text (label with "(KRFS)" removed), kind and disk node, tab
// separated; the PC-folder entry carries the configured label. With --storage, the
// storage window's list instead, with each disk's capacity in KiB.
#include "commands.h"

#include "catalogueconfig.h"
#include "drives.h"
#include "recordingcatalogue.h"
#include "toolconfig.h"
#include "viewerconfig.h"

#include <cstdio>

int cli::cmdDrives(const QStringList &args)
{
    bool storage = false;
    QString configFile;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--storage"))
            storage = true;
        else if (args[i] == QLatin1String("--config") && i + 1 < args.size())
            configFile = args[++i];
        else
            return usageError("drives", QStringLiteral("expects [--storage] [--config FILE]"));
    }
    std::vector<DriveEntry> drives;
    if (storage) {
        enumerateStorageDrives(drives);
    } else {
        ViewerConfig config;
        RecordingCatalogue catalogue;
        if (loadToolConfig(config, configFile))
            applyViewerConfig(catalogue, config);
        catalogue.enumerateDrives();
        drives = catalogue.drives;
    }
    for (const DriveEntry &d : drives) {
        std::printf("%s\t%d\t%s", qPrintable(driveListText(d)), d.kind, d.physicalPath.c_str());
        if (storage)
            std::printf("\t%u", d.capacityKiB);
        std::printf("\n");
    }
    return 0;
}
