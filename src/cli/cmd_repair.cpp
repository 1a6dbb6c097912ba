// merido-tool repair: rebuilds missing recording indexes in place.
#include "commands.h"

#include "containerrepair.h"
#include "recordingname.h"

#include <QFileInfo>

#include <cstdio>

int cli::cmdRepair(const QStringList &args)
{
    QStringList files;
    int side = 0;
    int sizeClass = -1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--side" || a == "--size-class") {
            bool ok = false;
            const int v = i + 1 < args.size() ? args[++i].toInt(&ok) : -1;
            if (a == "--side" && ok && (v == 1 || v == 2))
                side = v;
            else if (a == "--size-class" && ok && v >= 0 && v <= 3)
                sizeClass = v;
            else
                return usageError("repair", a + " needs " + (a == "--side" ? "1 or 2" : "0..3"));
        } else if (a.startsWith("--")) {
            return usageError("repair", "unknown option " + a);
        } else {
            files << a;
        }
    }
    if (files.isEmpty())
        return usageError("repair", "no file given");

    int failures = 0;
    for (const QString &path : files) {
        const QFileInfo info(path);
        const std::string name = info.fileName().toStdString();
        // Side and size class as the catalogue derives them from the name and size.
        const int fileSide = side ? side : storage::recordingSide(name);
        const int type = storage::recordingType(name);
        const int fileClass = sizeClass >= 0 ? sizeClass : storage::repairSizeClass(type, info.size() / 1024);
        const QByteArray shown = path.toLocal8Bit();
        if (fileSide == 0 || (sizeClass < 0 && type == 0)) {
            std::printf("%s: failed: the name tells no %s; give %s\n", shown.constData(),
                        fileSide == 0 ? "side" : "recording type", fileSide == 0 ? "--side" : "--size-class");
            ++failures;
            continue;
        }
        const auto outcome = storage::repairRecordingOutcome(path.toStdString(), fileSide, fileClass);
        if (outcome == storage::RepairOutcome::Repaired || outcome == storage::RepairOutcome::Intact) {
            std::printf("%s: %s\n", shown.constData(), storage::repairOutcomeText(outcome));
        } else {
            std::printf("%s: failed: %s\n", shown.constData(), storage::repairOutcomeText(outcome));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
