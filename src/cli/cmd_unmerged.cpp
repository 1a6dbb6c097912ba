// Stand-ins for commands built on other branches, so this branch links on its own. Weak: the
// real definitions replace them; delete this file when those branches are merged.
#include "commands.h"

#include <cstdio>

__attribute__((weak)) int cli::cmdConfigDump(const QStringList &)
{
    std::fprintf(stderr, "merido-tool config-dump: not built in this branch\n");
    return 1;
}

__attribute__((weak)) int cli::cmdSkinSheet(const QStringList &)
{
    std::fprintf(stderr, "merido-tool skin-sheet: not built in this branch\n");
    return 1;
}
