#include "catalogueconfig.h"

#include "recordingcatalogue.h"
#include "viewerconfig.h"

void applyViewerConfig(RecordingCatalogue &catalogue, const ViewerConfig &config)
{
    for (int i = 0; i < config.FolderCount(); ++i) {
        FolderEntry folder;
        if (config.GetFolder(i, folder))
            catalogue.addFolderName(folder.path);
    }
    for (int i = 0; i < config.ExtensionCount(); ++i) {
        QString extension;
        if (config.GetExtension(i, extension))
            catalogue.addExtension(extension);
    }
    catalogue.recurseDrive = config.Flags() & ViewerConfig::FlagRemoval;
    catalogue.recursePcFolder = config.Flags() & ViewerConfig::FlagDesktop;
    QString text;
    if (config.LookupString("COMM_SEL_FOLDER", text))
        catalogue.folderPrompt = text;
    if (config.LookupString("SELDRV_COMBO_DESKTOP", text))
        catalogue.pcFolderLabel = text;
}
