#include "playercontext.h"

#include "catalogueconfig.h"
#include "viewerconfig.h"

#include <QFileDialog>
#include <QWidget>

PlayerContext &PlayerContext::Get()
{
    static PlayerContext context;
    return context;
}

PlayerContext::PlayerContext()
{
    applyViewerConfig(catalogue, *ViewerConfig::Get());
    // A plain directory chooser over the main window stands in for the skinned folder
    // picker; cancelling it returns an empty path, which selects nothing.
    catalogue.folderPicker = [this] {
        return QFileDialog::getExistingDirectory(qobject_cast<QWidget *>(catalogue.ownerWindow.data()),
                                                 QStringLiteral("Select Folder"));
    };
}
