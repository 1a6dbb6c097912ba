// A fake system for drive discovery: /proc, /sys and /dev under a temporary root that
// MERIDO_SYSROOT points to while the object lives; disk nodes are real files or KRFS
// images, mount points are real folders.
#pragma once

#include "krfsimage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A fake system: every disk lives under sys/devices/virtual/block with a relative
// sys/dev/block/MAJOR:MINOR link, as the kernel lays it out.
class FakeSystem
{
public:
    FakeSystem()
    {
        root = tmp.filePath(QStringLiteral("root"));
        QDir().mkpath(root + QStringLiteral("/proc/self"));
        QDir().mkpath(root + QStringLiteral("/sys/dev/block"));
        QDir().mkpath(root + QStringLiteral("/dev"));
        qputenv("MERIDO_SYSROOT", QFile::encodeName(root));
    }
    ~FakeSystem() { qunsetenv("MERIDO_SYSROOT"); }

    void addDisk(const QString &name, int major, int minor, bool removable)
    {
        const QString dir = root + QStringLiteral("/sys/devices/virtual/block/") + name;
        QDir().mkpath(dir);
        write(dir + QStringLiteral("/dev"), QStringLiteral("%1:%2\n").arg(major).arg(minor).toLatin1());
        write(dir + QStringLiteral("/removable"), removable ? "1\n" : "0\n");
        link(major, minor, QStringLiteral("../../devices/virtual/block/") + name);
    }
    void addPartition(const QString &disk, const QString &name, int major, int minor)
    {
        const QString dir = root + QStringLiteral("/sys/devices/virtual/block/") + disk + QLatin1Char('/') + name;
        QDir().mkpath(dir);
        write(dir + QStringLiteral("/dev"), QStringLiteral("%1:%2\n").arg(major).arg(minor).toLatin1());
        write(dir + QStringLiteral("/partition"), "1\n");
        link(major, minor, QStringLiteral("../../devices/virtual/block/") + disk + QLatin1Char('/') + name);
    }
    // Appends a mount table line; the mount point is escaped as the kernel does.
    void mount(int major, int minor, const QString &mountPoint, const char *fsType = "vfat")
    {
        QByteArray escaped = QFile::encodeName(mountPoint);
        escaped.replace("\\", "\\134").replace(" ", "\\040").replace("\t", "\\011");
        QFile f(root + QStringLiteral("/proc/self/mountinfo"));
        QVERIFY(f.open(QIODevice::Append));
        f.write(QByteArray::number(++mountId) + " 1 " + QByteArray::number(major) + ":" + QByteArray::number(minor) + " / " +
                escaped + " rw,relatime shared:1 - " + fsType + " /dev/x rw\n");
    }
    // A real folder to mount a card on.
    QString mountPointDir(const QString &name)
    {
        const QString path = tmp.filePath(QStringLiteral("mnt/") + name);
        QDir().mkpath(path);
        return path;
    }
    QString node(const QString &name) const { return root + QStringLiteral("/dev/") + name; }
    void fileNode(const QString &name, qint64 size)
    {
        QFile f(node(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(size));
    }
    // A card image with the KRFS partition; returns its size in KiB.
    uint32_t krfsNode(const QString &name)
    {
        krfs::ImageOptions o;
        o.fatBytes = 1 << 20;
        o.krfsBytes = 2 << 20;
        o.blockSize = 4096;
        o.dirSlots = 16;
        krfs::ImageLayout layout;
        std::string error;
        if (!krfs::makeImage(QFile::encodeName(node(name)).toStdString(), o, &layout, &error))
            qWarning("%s", error.c_str());
        return uint32_t((uint64_t(layout.krfsFirstLba) + layout.krfsSectors) * 512 / 1024);
    }
    // The system disk sda: "/" on sda1.
    void systemDisk()
    {
        addDisk(QStringLiteral("sda"), 8, 0, false);
        addPartition(QStringLiteral("sda"), QStringLiteral("sda1"), 8, 1);
        mount(8, 1, QStringLiteral("/"), "ext4");
    }

    QTemporaryDir tmp;
    QString root;

private:
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    void link(int major, int minor, const QString &target)
    {
        QFile::link(target, root + QStringLiteral("/sys/dev/block/%1:%2").arg(major).arg(minor));
    }
    int mountId = 20;
};
