// merido-tool list SOURCE [--type all|normal|event|parking|user] [--descending]
// [--config FILE]: the rows of the file list for a source, one per line, the four column
// texts separated by tabs. SOURCE is a card's mount point, a partition image (or disk
// node), or any other folder (taken as the PC folder).
#include "commands.h"

#include "catalogueconfig.h"
#include "recordingcatalogue.h"
#include "toolconfig.h"
#include "viewerconfig.h"

#include <QObject>


#include <array>
#include <cstdio>

namespace {

constexpr const char *kName = "list";

class PrintingView : public RecordingListView
{
public:
    void clear() override {}
    void setRedraw(bool) override {}
    void appendRow(const QString &n, const QString &d, const QString &t, const QString &type) override
    {
        std::printf("%s\t%s\t%s\t%s\n", qPrintable(n), qPrintable(d), qPrintable(t), qPrintable(type));
    }
};

} // namespace

int cli::cmdList(const QStringList &arguments)
{
    QStringList args = arguments;
    QString configFile, typeName = QStringLiteral("all");
    bool descending = false;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--descending")) {
            descending = true;
        } else if ((args[i] == QLatin1String("--type") || args[i] == QLatin1String("--config")) && i + 1 < args.size()) {
            (args[i] == QLatin1String("--type") ? typeName : configFile) = args[i + 1];
            ++i;
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return usageError(kName, QStringLiteral("unknown option %1").arg(args[i]));
        } else {
            positional << args[i];
        }
    }
    const auto type = std::find_if(kListTypes.begin(), kListTypes.end(), [&](const ListType &t) { return typeName == QLatin1String(t.name); });
    if (positional.size() != 1 || type == kListTypes.end())
        return usageError(kName, QStringLiteral("expects SOURCE [--type all|normal|event|parking|user] [--descending] [--config FILE]"));

    ViewerConfig config;
    if (!loadToolConfig(config, configFile)) {
        std::fprintf(stderr, "merido-tool list: cannot load the configuration\n");
        return 1;
    }
    RecordingCatalogue catalogue;
    applyViewerConfig(catalogue, config);
    catalogue.sortOrder = descending ? RecordingCatalogue::SortDescending : RecordingCatalogue::SortAscending;

    QObject owner; // the PC-folder source needs a main window
    if (!selectToolSource(catalogue, positional.front(), owner, kName))
        return 1;
    PrintingView view;
    if (type->type < 0)
        catalogue.fillListAll(view);
    else
        catalogue.fillListByType(type->type, view);
    return 0;
}
