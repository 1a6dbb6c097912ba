#include "playercontext.h"

#include "catalogueconfig.h"
#include "viewerconfig.h"


PlayerContext &PlayerContext::Get()
{
    static PlayerContext context;
    return context;
}

PlayerContext::PlayerContext()
{
    // The folder picker is the main window's to provide: it owns the picker's window.
    applyViewerConfig(catalogue, *ViewerConfig::Get());
}
