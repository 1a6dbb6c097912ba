// merido-tool setup show CARDROOT | setup set CARDROOT KEY=VALUE...
#include "commands.h"

#include "setupkeytable.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

int show(const QString &cardRoot)
{
    SetupKeyTable table;
    table.RegisterCameraKeys();
    const QString path = SetupKeyTable::pathForCard(cardRoot);
    if (!table.Load(path))
        return cli::usageError("setup", QStringLiteral("cannot read %1").arg(path));
    for (const SetupKeyEntry &entry : table.entries())
        std::printf("%s=%s\n", entry.key.c_str(), entry.value.c_str());
    return 0;
}

int set(const QString &cardRoot, const QStringList &assignments)
{
    SetupKeyTable table;
    table.RegisterCameraKeys();
    std::vector<std::pair<int, std::string>> changes;
    for (const QString &assignment : assignments) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        const std::optional<int> index = eq > 0 ? table.Find(assignment.left(eq).toStdString()) : std::nullopt;
        if (!index)
            return cli::usageError("setup", QStringLiteral("not a KEY=VALUE of a known key: %1").arg(assignment));
        changes.emplace_back(*index, assignment.mid(eq + 1).toStdString());
    }
    const QString path = SetupKeyTable::pathForCard(cardRoot);
    // A card without the file gets one, as the camera settings window makes it: every key
    // written without a value reads back as its default.
    if (!QFileInfo::exists(path)) {
        QDir(cardRoot).mkpath(QStringLiteral("SETUP"));
        if (!table.Save(path))
            return cli::usageError("setup", QStringLiteral("cannot write %1").arg(path));
    }
    if (!table.Load(path))
        return cli::usageError("setup", QStringLiteral("cannot read %1").arg(path));
    for (const auto &[index, value] : changes)
        table.SetText(index, value);
    if (!table.Save(path))
        return cli::usageError("setup", QStringLiteral("cannot write %1").arg(path));
    return 0;
}

} // namespace

int cli::cmdSetup(const QStringList &args)
{
    if (args.size() == 2 && args[0] == QLatin1String("show"))
        return show(args[1]);
    if (args.size() >= 3 && args[0] == QLatin1String("set"))
        return set(args[1], args.mid(2));
    return usageError("setup", QStringLiteral("expects show CARDROOT | set CARDROOT KEY=VALUE..."));
}
