// The merido-tool commands: each takes the arguments after its name and returns the exit code.
#pragma once

#include <QStringList>

namespace cli {

struct Command {
    const char *name;
    const char *usage;   // argument synopsis shown by --help
    const char *summary; // one line for --help
    int (*run)(const QStringList &args);
};

int cmdConfigDump(const QStringList &args);
int cmdSkinSheet(const QStringList &args);
int cmdGallery(const QStringList &args);
int cmdSetup(const QStringList &args);
int cmdRepair(const QStringList &args);
int cmdSensors(const QStringList &args);
int cmdKrfs(const QStringList &args);
int cmdDrives(const QStringList &args);
int cmdList(const QStringList &args);
int cmdPlay(const QStringList &args);
int cmdExport(const QStringList &args);

// Prints "merido-tool <name>: <message>" on standard error and returns 2 (usage error).
int usageError(const char *name, const QString &message);

} // namespace cli
