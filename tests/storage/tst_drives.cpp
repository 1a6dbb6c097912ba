// Drive discovery on fake /proc, /sys and /dev trees (MERIDO_SYSROOT) whose disk nodes
// are real files and KRFS images, and whose mount points are real folders.
#include "drives.h"
#include "fakesystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr const char *kPcLabel = "Find in My Computer";

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

        // The PC-folder entry carries the configured label.
        const QString config = fake.tmp.filePath(QStringLiteral("viewerconfig.cfg"));
        {
            QFile f(config);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<?xml version=\"1.0\"?>\n<viewerconfig><configs><language mode=\"0\">english</language></configs>"
                    "<lstrings><lstring id=\"SELDRV_COMBO_DESKTOP\"><language type=\"english\" mode=\"0\">My PC</language>"
                    "</lstring></lstrings></viewerconfig>\n");
        }
        const auto run = [](const QStringList &args) {
            QProcess p;
            p.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/merido-tool"), args);
            p.waitForFinished(30000);
            return p.readAllStandardOutput();
        };
        const QByteArray node = QFile::encodeName(fake.node(QStringLiteral("sdb")));
        QCOMPARE(run({"drives", "--config", config}), QFile::encodeName(card) + "/ \t1\t" + node + "\nMy PC\t2\t\n");
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
