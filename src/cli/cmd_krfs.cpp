// merido-tool krfs mkfs|ls|put|cat IMAGE ...: makes card images with a KRFS partition and
// reads them through the same C API the viewer uses.
#include "commands.h"

#include "krfs.h"
#include "krfsimage.h"
#include "krfsvolume.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimeZone>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr const char *kName = "krfs";

int fail(const QString &message)
{
    std::fprintf(stderr, "merido-tool krfs: %s\n", qPrintable(message));
    return 1;
}

// "--opt value" pairs after the positional arguments; false on an unknown or
// incomplete option.
bool takeOptions(QStringList &args, const QStringList &valued, const QStringList &flags,
                 QMap<QString, QString> &out)
{
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (valued.contains(a)) {
            if (i + 1 >= args.size())
                return false;
            out[a] = args[++i];
        } else if (flags.contains(a)) {
            out[a] = QString();
        } else if (a.startsWith(QLatin1String("--"))) {
            return false;
        } else {
            rest << a;
        }
    }
    args = rest;
    return true;
}

std::optional<uint64_t> number(const QMap<QString, QString> &opts, const QString &key, uint64_t fallback)
{
    if (!opts.contains(key))
        return fallback;
    bool ok = false;
    const qulonglong v = opts[key].toULongLong(&ok);
    return ok ? std::optional<uint64_t>(v) : std::nullopt;
}

// Seconds since 1970 UTC from "1697379930" or "2023-10-15T14:25:30" (UTC).
std::optional<int64_t> parseTime(const QString &text)
{
    bool ok = false;
    const qlonglong seconds = text.toLongLong(&ok);
    if (ok)
        return seconds;
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid())
        return std::nullopt;
    t.setTimeZone(QTimeZone::utc());
    return t.toSecsSinceEpoch();
}

int mkfs(QStringList args)
{
    QMap<QString, QString> opts;
    if (!takeOptions(args, {"--size", "--fat", "--block", "--files"}, {}, opts) || args.size() != 1)
        return cli::usageError(kName, QStringLiteral("mkfs IMAGE [--size MiB] [--fat MiB] [--block KiB] [--files N]"));
    const auto size = number(opts, "--size", 64), fat = number(opts, "--fat", 64), block = number(opts, "--block", 64),
               files = number(opts, "--files", 4096);
    if (!size || !fat || !block || !files || *size > (1u << 20) || *fat > (1u << 20) || *block > (1u << 20) ||
        *files > 0xFFFFFFFFu)
        return cli::usageError(kName, QStringLiteral("sizes and counts are whole numbers"));
    krfs::ImageOptions o;
    o.krfsBytes = *size << 20;
    o.fatBytes = *fat << 20;
    o.blockSize = uint32_t(*block << 10);
    o.dirSlots = uint32_t(*files);
    krfs::ImageLayout layout;
    std::string error;
    const QString image = args[0];
    if (!krfs::makeImage(QFile::encodeName(image).toStdString(), o, &layout, &error))
        return fail(QString::fromStdString(error));
    if (layout.fatSectors) {
        // mkfs.vfat counts its size in 1 KiB blocks and writes at a sector offset.
        QProcess format;
        format.start(QStringLiteral("mkfs.vfat"),
                     {"-F", "32", "-n", "CARD", QStringLiteral("--offset=%1").arg(layout.fatFirstLba), "-h",
                      QString::number(layout.fatFirstLba), image, QString::number(layout.fatSectors / 2)});
        if (!format.waitForFinished(60000) || format.exitStatus() != QProcess::NormalExit || format.exitCode() != 0) {
            std::fprintf(stderr, "%s", format.readAllStandardError().constData());
            return fail(QStringLiteral("mkfs.vfat failed on the FAT32 partition (it needs about 33 MiB or more)"));
        }
    }
    std::printf("%s: FAT32 at sector %u (%u sectors), KRFS at sector %u (%u sectors)\n", qPrintable(image),
                layout.fatFirstLba, layout.fatSectors, layout.krfsFirstLba, layout.krfsSectors);
    return 0;
}

struct Listed {
    QByteArray name;
    uint32_t key, size;
    int32_t time;
};

// One folder through the C API, as the catalogue lists it.
std::vector<Listed> listFolder(void *device, const char *folder)
{
    std::vector<Listed> out;
    int position = 1;
    for (;;) {
        unsigned char info[QZ_KRFS_DIR_INFO_SIZE] = {};
        uint64_t used = 0, allocated = 0;
        QZ_KrFS_Get_Dir_Info(device, folder, info, &used, &allocated);
        std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE, 0);
        krfs::put32(list.data(), QZ_KRFS_LIST_CAPACITY);
        const int n = QZ_KrFS_Get_FileList(device, folder, &position, list.data(), 0);
        if (n <= 0 || n > QZ_KRFS_LIST_CAPACITY)
            return out;
        for (int i = 0; i < n; ++i) {
            const unsigned char *r = list.data() + 4 + i * QZ_KRFS_LIST_RECORD_SIZE;
            out.push_back({QByteArray(reinterpret_cast<const char *>(r), int(qstrnlen(reinterpret_cast<const char *>(r), 98))),
                           krfs::le32(r + 98), krfs::le32(r + 102), int32_t(krfs::le32(r + 106))});
        }
    }
}

// The device block of an open image; closed on destruction.
class Device
{
public:
    explicit Device(const QByteArray &path)
    {
        open = QZ_KrFS_Device_Open(path.constData(), QZ_KRFS_OPEN_MODE, block.data()) == 0;
    }
    ~Device()
    {
        if (open)
            QZ_KrFS_Device_Close(block.data());
    }
    bool open = false;
    void *get() { return block.data(); }

private:
    std::vector<unsigned char> block = std::vector<unsigned char>(QZ_KRFS_DEVICE_BLOCK_SIZE, 0);
};

int ls(QStringList args)
{
    if (args.size() != 1 && args.size() != 2)
        return cli::usageError(kName, QStringLiteral("ls IMAGE [FOLDER]"));
    const QByteArray path = QFile::encodeName(args[0]);
    const auto volume = krfs::Volume::open(path.toStdString(), false);
    Device device(path);
    if (!volume || !device.open)
        return fail(QStringLiteral("%1: no readable KRFS partition").arg(args[0]));
    std::vector<std::string> folders = volume->sb.folders;
    if (args.size() == 2)
        folders = {args[1].toStdString()};
    for (const std::string &folder : folders) {
        unsigned char info[QZ_KRFS_DIR_INFO_SIZE] = {};
        uint64_t used = 0, allocated = 0;
        if (QZ_KrFS_Get_Dir_Info(device.get(), folder.c_str(), info, &used, &allocated) != 0)
            return fail(QStringLiteral("no folder %1").arg(QString::fromStdString(folder)));
        for (const Listed &f : listFolder(device.get(), folder.c_str())) {
            const QString time = QDateTime::fromSecsSinceEpoch(f.time, Qt::UTC).toString(Qt::ISODate);
            std::printf("%s/%s\t%u\t%u\t%s\n", folder.c_str(), f.name.constData(), f.key, f.size, qPrintable(time));
        }
    }
    return 0;
}

int put(QStringList args)
{
    QMap<QString, QString> opts;
    if (!takeOptions(args, {"--name", "--time"}, {"--open"}, opts) || args.size() != 3)
        return cli::usageError(kName, QStringLiteral("put IMAGE FOLDER FILE [--name NAME] [--time SECONDS|ISO] [--open]"));
    QFile source(args[2]);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(args[2]));
    krfs::PutOptions options;
    options.closed = !opts.contains("--open");
    options.time = QFileInfo(source).lastModified().toSecsSinceEpoch();
    if (opts.contains("--time")) {
        const auto t = parseTime(opts["--time"]);
        if (!t)
            return cli::usageError(kName, QStringLiteral("--time takes seconds since 1970 or YYYY-MM-DDTHH:MM:SS"));
        options.time = *t;
    }
    const QString name = opts.value("--name", QFileInfo(args[2]).fileName());
    std::string error;
    const uint32_t key = krfs::putFile(
        QFile::encodeName(args[0]).toStdString(), args[1].toStdString(), QFile::encodeName(name).toStdString(),
        uint64_t(source.size()),
        [&](uint8_t *buffer, size_t length) { return source.read(reinterpret_cast<char *>(buffer), qint64(length)) == qint64(length); },
        options, &error);
    if (!key)
        return fail(QString::fromStdString(error));
    std::printf("%s/%s\t%u\n", qPrintable(args[1]), qPrintable(name), key);
    return 0;
}

int cat(const QStringList &args)
{
    if (args.size() != 2 || args[1].count(QLatin1Char('/')) != 1)
        return cli::usageError(kName, QStringLiteral("cat IMAGE FOLDER/NAME"));
    const QByteArray folder = QFile::encodeName(args[1].section(QLatin1Char('/'), 0, 0));
    const QByteArray name = QFile::encodeName(args[1].section(QLatin1Char('/'), 1));
    Device device(QFile::encodeName(args[0]));
    if (!device.open)
        return fail(QStringLiteral("%1: no readable KRFS partition").arg(args[0]));
    for (const Listed &f : listFolder(device.get(), folder.constData())) {
        if (f.name != name)
            continue;
        const QByteArray path = "/" + folder + "/" + name;
        const int handle = QZ_KrFS_File_Open(device.get(), path.constData(), "r", 0, 0, f.key);
        if (handle < 1)
            return fail(QStringLiteral("cannot open %1").arg(args[1]));
        std::vector<char> buffer(QZ_KRFS_READ_BLOCK);
        int n;
        bool ok = true;
        while (ok && (n = QZ_KrFS_File_Read(device.get(), buffer.data(), QZ_KRFS_READ_BLOCK, handle)) > 0)
            ok = std::fwrite(buffer.data(), 1, size_t(n), stdout) == size_t(n);
        QZ_KrFS_File_Close(device.get(), handle);
        return ok && std::fflush(stdout) == 0 ? 0 : fail(QStringLiteral("write error"));
    }
    return fail(QStringLiteral("no file %1").arg(args[1]));
}

} // namespace

int cli::cmdKrfs(const QStringList &args)
{
    const QString sub = args.value(0);
    const QStringList rest = args.mid(1);
    if (sub == QLatin1String("mkfs"))
        return mkfs(rest);
    if (sub == QLatin1String("ls"))
        return ls(rest);
    if (sub == QLatin1String("put"))
        return put(rest);
    if (sub == QLatin1String("cat"))
        return cat(rest);
    return usageError(kName, QStringLiteral("expects mkfs, ls, put or cat"));
}
