// Drive discovery on fake /proc, /sys and /dev trees (MERIDO_SYSROOT) whose disk nodes
// are real files and KRFS images, and whose mount points are real folders.
#include "drives.h"
#include "krfsimage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr const char *kPcLabel = "Find in My Computer";

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

} // namespace

class TestDrives : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One candidate card beside the system disk; the two enumerations' verdicts.
    void candidate_data()
    {
        QTest::addColumn<QString>("disk");
        QTest::addColumn<bool>("removable");
        QTest::addColumn<bool>("partitioned");   // mounted from disk1 rather than the whole disk
        QTest::addColumn<bool>("onSystemDisk");  // "/" lives on the same disk
        QTest::addColumn<QString>("nodeKind");   // file, krfs, missing, folder
        QTest::addColumn<bool>("mountPointExists");
        QTest::addColumn<int>("kind");           // in the selection list; -1 not offered
        QTest::addColumn<int>("storageKind");    // in the storage window's list; -1 not offered

        QTest::newRow("removable card") << "sdb" << true << true << false << "file" << true << 0 << 0;
        QTest::newRow("fixed disk") << "sdb" << false << true << false << "file" << true << -1 << -1;
        QTest::newRow("MMC card, removable flag 0") << "mmcblk0" << false << true << false << "file" << true << 0 << 0;
        QTest::newRow("card on the system disk") << "sdb" << true << true << true << "file" << true << -1 << -1;
        QTest::newRow("card with the KRFS partition") << "sdb" << true << true << false << "krfs" << true << 1 << 1;
        QTest::newRow("disk node missing") << "sdb" << true << true << false << "missing" << true << -1 << -1;
        QTest::newRow("disk node cannot be opened for writing") << "sdb" << true << true << false << "folder" << true << -1
                                                                << -1;
        QTest::newRow("free-space query fails") << "sdb" << true << true << false << "file" << false << -1 << 0;
        QTest::newRow("file system on the whole disk") << "sdb" << true << false << false << "file" << true << 0 << 0;
    }

    void candidate()
    {
        QFETCH(QString, disk);
        QFETCH(bool, removable);
        QFETCH(bool, partitioned);
        QFETCH(bool, onSystemDisk);
        QFETCH(QString, nodeKind);
        QFETCH(bool, mountPointExists);
        QFETCH(int, kind);
        QFETCH(int, storageKind);

        FakeSystem fake;
        QVERIFY(fake.tmp.isValid());
        const int major = disk.startsWith(QLatin1String("mmc")) ? 179 : 8;
        fake.addDisk(disk, major, 16, removable);
        const QString part = disk + (disk.startsWith(QLatin1String("mmc")) ? QStringLiteral("p1") : QStringLiteral("1"));
        fake.addPartition(disk, part, major, 17);
        if (onSystemDisk) {
            fake.addPartition(disk, disk + QStringLiteral("2"), major, 18);
            fake.mount(major, 18, QStringLiteral("/"), "ext4");
        } else {
            fake.systemDisk();
        }
        const QString mountPoint = mountPointExists ? fake.mountPointDir(QStringLiteral("CARD"))
                                                    : fake.tmp.filePath(QStringLiteral("mnt/GONE"));
        fake.mount(major, partitioned ? 17 : 16, mountPoint);
        uint32_t capacity = 0;
        if (nodeKind == QLatin1String("file")) {
            fake.fileNode(disk, 3 << 20);
            capacity = 3 << 10;
        } else if (nodeKind == QLatin1String("krfs")) {
            capacity = fake.krfsNode(disk);
        } else if (nodeKind == QLatin1String("folder")) {
            QDir().mkpath(fake.node(disk));
        }

        std::vector<DriveEntry> drives;
        QCOMPARE(enumerateDrives(QString::fromLatin1(kPcLabel), drives), kind >= 0 ? 2 : 1);
        QCOMPARE(drives.back().kind, int(DrivePcFolder));
        QCOMPARE(drives.back().label, QString::fromLatin1(kPcLabel));
        QVERIFY(drives.back().physicalPath.empty());
        if (kind >= 0) {
            const DriveEntry &card = drives.front();
            QCOMPARE(card.kind, kind);
            QCOMPARE(card.mountPoint, mountPoint);
            QCOMPARE(card.label, mountPoint + (kind == DriveKrfs ? "/ (KRFS)" : "/"));
            QCOMPARE(driveListText(card), mountPoint + (kind == DriveKrfs ? "/ " : "/"));
            QCOMPARE(QString::fromStdString(card.physicalPath), fake.node(disk));
            QCOMPARE(card.capacityKiB, 0u);
        }

        std::vector<DriveEntry> storage;
        QCOMPARE(enumerateStorageDrives(storage), storageKind >= 0 ? 1 : 0);
        if (storageKind >= 0) {
            QCOMPARE(storage.front().kind, storageKind);
            QCOMPARE(storage.front().capacityKiB, capacity);
        }
    }

    void diskNumbers()
    {
        FakeSystem fake;
        fake.systemDisk();
        fake.addDisk(QStringLiteral("sdb"), 8, 16, true);
        fake.addPartition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
        const QString card = fake.mountPointDir(QStringLiteral("CARD"));
        fake.mount(8, 17, card);
        const QString tmpfs = fake.mountPointDir(QStringLiteral("tmp"));
        fake.mount(0, 42, tmpfs, "tmpfs");

        QCOMPARE(diskNumberOf(QStringLiteral("/")), 0);
        QCOMPARE(diskNumberOf(card), 8 << 20 | 16);
        QCOMPARE(diskNumberOf(tmpfs), -1);
        QCOMPARE(diskNumberOf(QStringLiteral("/not/mounted")), -1);
    }

    // Two cards, one mounted on a path with a space; listed in mount point order, and a
    // later mount on the same point replaces the earlier one.
    void severalCardsInOrder()
    {
        FakeSystem fake;
        fake.systemDisk();
        fake.addDisk(QStringLiteral("sdc"), 8, 32, true);
        fake.addPartition(QStringLiteral("sdc"), QStringLiteral("sdc1"), 8, 33);
        fake.addDisk(QStringLiteral("sdb"), 8, 16, true);
        fake.addPartition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
        fake.fileNode(QStringLiteral("sdb"), 1 << 20);
        fake.krfsNode(QStringLiteral("sdc"));
        const QString b = fake.mountPointDir(QStringLiteral("B CARD"));
        const QString a = fake.mountPointDir(QStringLiteral("A"));
        fake.mount(8, 17, b);
        fake.mount(8, 17, a); // replaced below
        fake.mount(8, 33, a);

        std::vector<DriveEntry> drives;
        QCOMPARE(enumerateDrives(QStringLiteral("PC"), drives), 3);
        QCOMPARE(drives[0].label, a + QStringLiteral("/ (KRFS)"));
        QCOMPARE(drives[1].label, b + QStringLiteral("/"));
        QCOMPARE(drives[2].label, QStringLiteral("PC"));

        DriveEntry entry;
        entry.mountPoint = b;
        entry.label = b + QStringLiteral("/");
        QVERIFY(probeDrive(entry, true));
        QCOMPARE(entry.kind, int(DriveRemovable));
        QCOMPARE(entry.capacityKiB, 1024u);
    }

    // merido-tool drives prints what the selection window lists, PC folder last.
    void toolListsTheWindowsTexts()
    {
        FakeSystem fake;
        fake.systemDisk();
        fake.addDisk(QStringLiteral("sdb"), 8, 16, true);
        fake.addPartition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
        const uint32_t capacity = fake.krfsNode(QStringLiteral("sdb"));
        const QString card = fake.mountPointDir(QStringLiteral("CARD"));
        fake.mount(8, 17, card);

        const auto run = [](const QStringList &args) {
            QProcess p;
            p.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/merido-tool"), args);
            p.waitForFinished(30000);
            return p.readAllStandardOutput();
        };
        const QByteArray node = QFile::encodeName(fake.node(QStringLiteral("sdb")));
        QCOMPARE(run({"drives"}), QFile::encodeName(card) + "/ \t1\t" + node + "\nFind in My Computer\t2\t\n");
        QCOMPARE(run({"drives", "--storage"}),
                 QFile::encodeName(card) + "/ \t1\t" + node + "\t" + QByteArray::number(capacity) + "\n");
    }

    void noMountTable()
    {
        FakeSystem fake;
        std::vector<DriveEntry> drives(3);
        QCOMPARE(enumerateDrives(QStringLiteral("PC"), drives), 1);
        QCOMPARE(drives.front().kind, int(DrivePcFolder));
        QCOMPARE(enumerateStorageDrives(drives), 0);
        QVERIFY(drives.empty());
    }
};

QTEST_GUILESS_MAIN(TestDrives)
#include "tst_drives.moc"
