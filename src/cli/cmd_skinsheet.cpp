// merido-tool skin-sheet OUT.png
#include "commands.h"

int cli::cmdSkinSheet(const QStringList &)
{
    return usageError("skin-sheet", QStringLiteral("not available"));
}
