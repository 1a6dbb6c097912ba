// merido-tool config-dump FILE: what the configuration loader keeps of FILE, as JSON.
#include "commands.h"

#include "viewerconfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cstdio>

namespace {

QByteArray jsonString(const QString &text)
{
    // A one-element array is the simplest way to have Qt escape a lone string.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

int cli::cmdConfigDump(const QStringList &args)
{
    if (args.size() != 1)
        return usageError("config-dump", QStringLiteral("expects FILE"));
    ViewerConfig config;
    // The loader's reports go to standard output first, then the JSON object.
    const bool loaded = config.Load(args.front());

    QByteArray out;
    out += "{\n  \"loaded\": ";
    out += loaded ? "true" : "false";
    out += ",\n  \"language\": " + QByteArray::number(config.Language());
    out += ",\n  \"folders\": [";
    for (int i = 0; i < config.FolderCount(); ++i) {
        FolderEntry folder;
        config.GetFolder(i, folder);
        out += i ? ",\n    " : "\n    ";
        out += "{\"type\": " + QByteArray::number(folder.type) + ", \"path\": " + jsonString(folder.path) +
               ", \"krfsp\": " + QByteArray::number(folder.krfsp) + "}";
    }
    out += config.FolderCount() ? "\n  ]" : "]";
    out += ",\n  \"extensions\": [";
    for (int i = 0; i < config.ExtensionCount(); ++i) {
        QString extension;
        config.GetExtension(i, extension);
        out += (i ? ", " : "") + jsonString(extension);
    }
    out += "]";
    out += ",\n  \"flags\": " + QByteArray::number(config.Flags());
    out += ",\n  \"strings\": [";
    bool first = true;
    for (const auto &[key, string] : config.Strings()) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += "{\"id\": " + jsonString(QString::fromUtf8(string.id)) + ", \"language\": " +
               QByteArray::number(key.second) + ", \"text\": " + jsonString(string.text) + "}";
    }
    out += first ? "]" : "\n  ]";
    out += "\n}\n";
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return loaded ? 0 : 1;
}
