// merido-tool: headless commands over the viewer's libraries.
#include "commands.h"

#include <QCoreApplication>
#include <QApplication>

#include <array>
#include <cstdio>
#include <cstring>

namespace {

// Commands that draw need a QApplication (the offscreen platform is enough).
struct Entry {
    cli::Command command;
    bool needsGui;
};

constexpr std::array kCommands{
    Entry{{"config-dump", "FILE", "print what the configuration loader keeps of FILE as JSON",
           cli::cmdConfigDump}, false},
    Entry{{"skin-sheet", "OUT.png", "render every skin bitmap with its id on one contact sheet",
           cli::cmdSkinSheet}, true},
    Entry{{"gallery", "OUT.png", "render the skinned controls in their states on one sheet", cli::cmdGallery}, true},
    Entry{{"setup", "show CARDROOT | set CARDROOT KEY=VALUE...",
           "print or change the camera settings file CARDROOT/SETUP/setup.ini", cli::cmdSetup}, false},
    Entry{{"repair", "FILE... [--side 1|2] [--size-class 0..3]", "rebuild the missing index of camera recordings",
           cli::cmdRepair}, false},
    Entry{{"sensors", "FILE [--csv | --gpx]", "print the sensor records of a recording as CSV or GPX", cli::cmdSensors}, false},
    Entry{{"krfs", "mkfs|ls|put|cat IMAGE ...", "make card images with a KRFS partition, list, add and read their files",
           cli::cmdKrfs}, false},
    Entry{{"drives", "[--storage] [--config FILE]", "list the sources the selection window offers (or the storage window's drives)",
           cli::cmdDrives}, false},
    Entry{{"list", "SOURCE [--type all|normal|event|parking|user] [--descending] [--config FILE]",
           "print the file list's rows for a card, a partition image or a folder", cli::cmdList}, false},
    Entry{{"play", "FRONT [REAR1 [REAR2]] [--rate R] [--seek MS] [--for SECONDS] [--grab DIR] [--seeks N]",
           "play a recording through the engine without windows; report position, frames, grabs\n"
           "      (--seeks: time N seeks and 10 opens instead of playing)", cli::cmdPlay}, false},
    Entry{{"export", "SOURCE OUTDIR [--type all|normal|event|parking|user] [--config FILE] [ROW...]",
           "copy the partition recordings of the rows (all when none) out as AVI files", cli::cmdExport}, false},
};

void printHelp(FILE *out)
{
    std::fprintf(out, "Usage: merido-tool COMMAND [ARGS...]\n\n"
                      "Headless commands of the MERIDO Viewer.\n\nCommands:\n");
    for (const Entry &e : kCommands)
        std::fprintf(out, "  %s %s\n      %s\n", e.command.name, e.command.usage, e.command.summary);
    std::fprintf(out, "\n  --help    this text\n");
}

} // namespace

int cli::usageError(const char *name, const QString &message)
{
    std::fprintf(stderr, "merido-tool %s: %s\n", name, qPrintable(message));
    return 2;
}

int main(int argc, char **argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        printHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Entry &e : kCommands) {
        if (std::strcmp(argv[1], e.command.name) != 0)
            continue;
        if (e.needsGui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Only the command's own arguments are handed on; argv[0] stays for Qt.
        int qtArgc = 1;
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        if (e.needsGui) {
            QApplication app(qtArgc, argv);
            return e.command.run(args);
        }
        QCoreApplication app(qtArgc, argv);
        return e.command.run(args);
    }
    std::fprintf(stderr, "merido-tool: unknown command '%s' (see --help)\n", argv[1]);
    return 2;
}
