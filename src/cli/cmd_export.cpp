// merido-tool export SOURCE OUTDIR [--type all|normal|event|parking|user] [--config FILE]
// [ROW...]: copies the recordings of a partition image out as AVI files, as the export
// window does for its ticked rows. Rows are numbered as `list` shows them; none = all.
#include "commands.h"

#include "catalogueconfig.h"
#include "recordingcatalogue.h"
#include "toolconfig.h"
#include "viewerconfig.h"

#include <QDir>
#include <QObject>

#include <cstdio>

namespace {

constexpr const char *kName = "export";

// Counts the rows of a fill; the tool shows no list.
class CountingView : public RecordingListView
{
public:
    void clear() override { rows = 0; }
    void setRedraw(bool) override {}
    void appendRow(const QString &, const QString &, const QString &, const QString &) override { ++rows; }
    int rows = 0;
};

const char *statusText(const ExportResult &r)
{
    switch (r.status) {
    case ExportResult::Exported: return r.copy.finalized ? "copied" : "repaired";
    case ExportResult::NoEntry: return "no-such-row";
    case ExportResult::NotOnPartition: return "not-on-partition";
    case ExportResult::NoFolder: return "no-folder";
    case ExportResult::OutputNotCreated: return "output-not-created";
    case ExportResult::SourceNotOpened: return "source-not-opened";
    case ExportResult::CopyFailed: return "copy-failed";
    }
    return "?";
}

} // namespace

int cli::cmdExport(const QStringList &arguments)
{
    const QString usage = QStringLiteral("expects SOURCE OUTDIR [--type all|normal|event|parking|user] [--config FILE] [ROW...]");
    QString configFile, typeName = QStringLiteral("all");
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if ((a == QLatin1String("--type") || a == QLatin1String("--config")) && i + 1 < arguments.size())
            (a == QLatin1String("--type") ? typeName : configFile) = arguments[++i];
        else if (a.startsWith(QLatin1String("--")))
            return usageError(kName, QStringLiteral("unknown option %1").arg(a));
        else
            positional << a;
    }
    const auto type = std::find_if(kListTypes.begin(), kListTypes.end(),
                                   [&](const ListType &t) { return typeName == QLatin1String(t.name); });
    if (positional.size() < 2 || type == kListTypes.end())
        return usageError(kName, usage);
    std::vector<int> rows; // 0-based
    for (qsizetype i = 2; i < positional.size(); ++i) {
        bool ok = false;
        const int row = positional[i].toInt(&ok);
        if (!ok || row < 1)
            return usageError(kName, QStringLiteral("rows are numbers from 1, as list shows them"));
        rows.push_back(row - 1);
    }

    ViewerConfig config;
    if (!loadToolConfig(config, configFile)) {
        std::fprintf(stderr, "merido-tool export: cannot load the configuration\n");
        return 1;
    }
    RecordingCatalogue catalogue;
    applyViewerConfig(catalogue, config);
    QObject owner;
    if (!selectToolSource(catalogue, positional[0], owner, kName))
        return 1;
    if (catalogue.entries.empty() || catalogue.sourceKind == RecordingCatalogue::SourcePcFolder ||
        catalogue.sourceKind == RecordingCatalogue::SourceNone) {
        std::fprintf(stderr, "merido-tool export: No Conversion File.\n");
        return 1;
    }
    const QString outDir = positional[1];
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "merido-tool export: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    CountingView view;
    if (type->type < 0)
        catalogue.fillListAll(view);
    else
        catalogue.fillListByType(type->type, view);
    if (rows.empty()) {
        for (int r = 0; r < view.rows; ++r)
            rows.push_back(r);
    }

    int failures = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int row = rows[i];
        const RecordingEntry *entry = catalogue.entryAtRow(row);
        const QString name = entry ? entry->name : QString();
        const ExportResult r = catalogue.exportRecording(row, outDir, [&](uint64_t bytes) {
            std::fprintf(stderr, "\r[%zu/%zu] %03d %s: %.1f MiB", i + 1, rows.size(), row + 1, qPrintable(name),
                         double(bytes) / (1 << 20));
            std::fflush(stderr);
        });
        std::fprintf(stderr, "\r[%zu/%zu] %03d %s: %s\n", i + 1, rows.size(), row + 1, qPrintable(name), statusText(r));
        // ROW, what happened, the output file, the bytes read from the partition.
        std::printf("%03d\t%s\t%s\t%llu\n", row + 1, statusText(r), qPrintable(r.outputPath),
                    (unsigned long long)r.copy.bytesCopied);
        failures += r.status != ExportResult::Exported;
    }
    return failures ? 1 : 0;
}
