// The recording catalogue on real folders and KRFS images: scanning, the partition
// listing, sort, classification, the fills and the channel files.
#include "fakesystem.h"
#include "krfsimage.h"
#include "recordingcatalogue.h"
#include "recordingname.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {

// The list view the fills write to, as a vector of rows.
struct VectorView : RecordingListView {
    std::vector<QString> rows; // the four texts joined by tabs
    int clears = 0;
    QList<bool> redraws;
    void clear() override
    {
        rows.clear();
        ++clears;
    }
    void setRedraw(bool on) override { redraws << on; }
    void appendRow(const QString &n, const QString &d, const QString &t, const QString &type) override
    {
        rows.push_back(n + '\t' + d + '\t' + t + '\t' + type);
    }
};

void writeFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(size));
}

// A catalogue configured like the shipped configuration: NOR EVT MOT USR, mp4.
void configure(RecordingCatalogue &c)
{
    for (const char *name : {"NOR", "EVT", "MOT", "USR"})
        c.addFolderName(QString::fromLatin1(name));
    c.addExtension(QStringLiteral("MP4"));
    c.recurseDrive = c.recursePcFolder = true;
}

DriveEntry cardAt(const QString &mountPoint)
{
    DriveEntry d;
    d.mountPoint = mountPoint;
    d.label = mountPoint + '/';
    return d;
}

std::vector<QString> names(const RecordingCatalogue &c)
{
    std::vector<QString> out;
    for (const RecordingEntry &e : c.entries)
        out.push_back(e.name);
    return out;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threeFileCardGivesOneRow()
    {
        QTemporaryDir card;
        for (const char *name : {"FRONT/20231015_142530_3CH_N_F.mp4", "REAR/20231015_142530_3CH_N_R1.mp4",
                                 "REAR/20231015_142530_3CH_N_R2.mp4"})
            writeFile(card.filePath(QStringLiteral("NOR/") + name), 1000);
        RecordingCatalogue c;
        configure(c);
        c.drives = {cardAt(card.path())};
        QVERIFY(c.selectSource(0));
        QCOMPARE(c.sourceKind, int(RecordingCatalogue::SourceDrive));
        QCOMPARE(c.selectedDrive, 0);
        QCOMPARE(c.entryCount(), 3);
        QCOMPARE(c.scannedFolders.size(), size_t(4));
        QCOMPARE(c.scannedFolders[0].path, card.path() + "/NOR/");
        QCOMPARE(c.scannedFolders[0].fileCount, 2); // two sub-folders scanned
        QCOMPARE(c.scannedFolders[1].fileCount, 0); // EVT does not exist

        VectorView all, normal;
        QCOMPARE(c.fillListAll(all), 1);
        QCOMPARE(all.rows, std::vector<QString>{"001\t2023-10-15\t14:25:30\tNOR"});
        QCOMPARE(all.redraws, (QList<bool>{false, true}));
        QCOMPARE(c.entryAtRow(0)->path, card.path() + "/NOR/FRONT/20231015_142530_3CH_N_F.mp4");
        QCOMPARE(c.entryAtRow(0)->fileKey, 0xFFFFFFFFu);
        QCOMPARE(c.entryAtRow(1), nullptr);
        QCOMPARE(c.fillListByType(recname::TypeNormal, normal), 1);
        QCOMPARE(normal.rows, all.rows);
    }

    void withoutRecursionSubFoldersAreSkipped()
    {
        QTemporaryDir card;
        writeFile(card.filePath(QStringLiteral("NOR/FRONT/20231015_142530_1CH_N_F.mp4")), 10);
        writeFile(card.filePath(QStringLiteral("NOR/20231015_142531_1CH_N_F.mp4")), 10);
        RecordingCatalogue c;
        configure(c);
        c.recurseDrive = false;
        c.drives = {cardAt(card.path())};
        QVERIFY(c.selectSource(0));
        QCOMPARE(names(c), std::vector<QString>{"20231015_142531_1CH_N_F.mp4"});
        QCOMPARE(c.scannedFolders[0].fileCount, 1);
    }

    // Which names a scan accepts and which rows they give in each view.
    void classification_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("perTypeView"); // the per-type view that lists it, -1 none
        QTest::addColumn<QString>("allRow");  // row in the view of all recordings, empty: none

        QTest::newRow("event") << "20231015_142530_2CH_E_F.mp4" << 1 << "001\t2023-10-15\t14:25:30\tEVT";
        QTest::newRow("parking") << "20231015_142530_1CH_P_F.mp4" << 2 << "001\t2023-10-15\t14:25:30\tMOT";
        QTest::newRow("user") << "20231015_142530_1CH_U_F.mp4" << 3 << "001\t2023-10-15\t14:25:30\tUSR";
        // "N" of FRONT is found before "E": normal, though the type field says event.
        QTest::newRow("N before E") << "20231015_142530_1CH_E_FRONT.mp4" << 0 << "001\t2023-10-15\t14:25:30\tNOR";
        QTest::newRow("four fields") << "20231015_3CH_N_F.mp4" << 0 << "";
        QTest::newRow("rear file") << "20231015_142530_3CH_E_R1.mp4" << -1 << "";
        QTest::newRow("upper-case extension, P of TRIP") << "TRIP.MP4" << 2 << "";
        QTest::newRow("no dot, whole name as extension") << "mp4" << 0 << "";
        QTest::newRow("other extension") << "20231015_142530_1CH_N_F.avi" << -1 << "";
        QTest::newRow("no channel count") << "20231015_142530_XCH_N_F.mp4" << 0 << "";
        QTest::newRow("fields not numeric") << "ab_cd_3CH_U_F.mp4" << 3 << "001\t0000-00-00\t00:00:00\tUSR";
    }

    void classification()
    {
        QFETCH(QString, name);
        QFETCH(int, perTypeView);
        QFETCH(QString, allRow);
        QTemporaryDir card;
        writeFile(card.filePath("USR/" + name), 2048);
        RecordingCatalogue c;
        configure(c);
        c.drives = {cardAt(card.path())};
        QVERIFY(c.selectSource(0));
        for (int type = 0; type < 4; ++type) {
            VectorView view;
            QCOMPARE(c.fillListByType(type, view), type == perTypeView ? 1 : 0);
        }
        VectorView all;
        c.fillListAll(all);
        QCOMPARE(all.rows, allRow.isEmpty() ? std::vector<QString>{} : std::vector<QString>{allRow});
    }

    void noneTypeText()
    {
        QTemporaryDir card;
        writeFile(card.filePath(QStringLiteral("NOR/trip.mp4")), 1);
        RecordingCatalogue c;
        configure(c);
        c.drives = {cardAt(card.path())};
        QVERIFY(c.selectSource(0));
        VectorView view;
        QCOMPARE(c.fillListByType(recname::TypeNormal, view), 1);
        QCOMPARE(view.rows.front(), QStringLiteral("001\t0000-00-00\t00:00:00\tNONE"));
    }

    // The repair runs on every recording of the view of all recordings that has a type,
    // a side and a channel count, rear files included, with the size class of its size.
    void repairOnFillAll()
    {
        QTemporaryDir card;
        writeFile(card.filePath(QStringLiteral("NOR/FRONT/20231015_142530_2CH_N_F.mp4")), qint64(55) << 20);
        writeFile(card.filePath(QStringLiteral("NOR/REAR/20231015_142530_2CH_N_R1.mp4")), qint64(10) << 20);
        writeFile(card.filePath(QStringLiteral("EVT/FRONT/20231015_142600_2CH_E_F.mp4")), qint64(20) << 20);
        writeFile(card.filePath(QStringLiteral("EVT/FRONT/TRIP.mp4")), 1);
        RecordingCatalogue c;
        configure(c);
        QStringList calls;
        c.repairRecording = [&](const QString &path, int side, int sizeClass) {
            calls << QStringLiteral("%1 %2 %3").arg(QFileInfo(path).fileName()).arg(side).arg(sizeClass);
            return false;
        };
        c.drives = {cardAt(card.path())};
        QVERIFY(c.selectSource(0));
        VectorView view;
        QCOMPARE(c.fillListAll(view), 2);
        QCOMPARE(calls, (QStringList{"20231015_142530_2CH_N_F.mp4 1 0", "20231015_142530_2CH_N_R1.mp4 2 2",
                                     "20231015_142600_2CH_E_F.mp4 1 1"}));
        calls.clear();
        c.fillListByType(recname::TypeNormal, view);
        QVERIFY(calls.isEmpty());
    }

    void sizeClasses_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("mib");
        QTest::addColumn<int>("sizeClass");
        const int rows[][3] = {{1, 60, 3}, {1, 59, 0}, {1, 50, 0}, {1, 49, 1}, {1, 30, 1}, {1, 29, 2}, {1, 0, 2},
                               {2, 30, 3}, {2, 29, 0}, {2, 25, 0}, {2, 24, 1}, {2, 15, 1}, {2, 14, 2}, {4, 100, 3}};
        for (const auto &r : rows)
            QTest::addRow("type %d, %d MiB", r[0], r[1]) << r[0] << r[1] << r[2];
    }

    void sizeClasses()
    {
        QFETCH(int, type);
        QFETCH(int, mib);
        QFETCH(int, sizeClass);
        QCOMPARE(recname::sizeClass(type, qint64(mib) * 1024 + 1023), sizeClass);
    }

    // On the partition equal creation times are easy to make: the sort's ties.
    void partitionListingAndSort()
    {
        QTemporaryDir dir;
        const std::string image = dir.filePath(QStringLiteral("card.img")).toStdString();
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 4 << 20;
        o.blockSize = 4096;
        o.dirSlots = 64;
        std::string error;
        QVERIFY(krfs::makeImage(image, o, nullptr, &error));
        const int64_t t = 1697379930; // 2023-10-15 14:25:30 UTC
        const auto put = [&](const char *folder, const char *name, size_t size, int64_t time) {
            QVERIFY(krfs::putBytes(image, folder, name, std::vector<uint8_t>(size, 7), {time, true}, &error) > 0);
        };
        put("NOR", "20231015_142530_2CH_N_F.avi", 3000, t);
        put("EVT", "20231015_142530_2CH_E_F.avi", 9000, t); // same key and time, larger
        put("NOR", "20231015_142400_2CH_N_F.avi", 100, t + 5);
        put("USR", "20231015_142400_2CH_U_F.avi", 100, t + 1); // same key, earlier

        RecordingCatalogue c;
        configure(c);
        DriveEntry d = cardAt(dir.path());
        d.kind = DriveKrfs;
        d.physicalPath = image;
        c.drives = {d};
        QVERIFY(c.selectSource(0));
        QVERIFY(c.krfsDevice);
        QCOMPARE(names(c), (std::vector<QString>{"20231015_142400_2CH_U_F.avi", "20231015_142400_2CH_N_F.avi",
                                                 "20231015_142530_2CH_E_F.avi", "20231015_142530_2CH_N_F.avi"}));
        const RecordingEntry &e = c.entries[2];
        QCOMPARE(e.fileKey, 2u);
        QCOMPARE(e.nameNarrow, QByteArray("20231015_142530_2CH_E_F.avi"));
        QCOMPARE(e.path, e.name);
        QCOMPARE(e.folderIndex, 1);
        QCOMPARE(e.sizeKiB, 8);
        QCOMPARE(e.created, (t + 11644473600LL) * 10000000);
        QCOMPARE(c.scannedFolders[0].fileCount, 2);
        QCOMPARE(c.scannedFolders[0].nameNarrow, QByteArray("NOR"));
        QCOMPARE(c.channelPaths(e).front, e.name);
        QVERIFY(c.channelPaths(e).second.isEmpty());

        c.sortOrder = RecordingCatalogue::SortDescending;
        QVERIFY(c.selectSource(0));
        QCOMPARE(names(c), (std::vector<QString>{"20231015_142530_2CH_E_F.avi", "20231015_142530_2CH_N_F.avi",
                                                 "20231015_142400_2CH_N_F.avi", "20231015_142400_2CH_U_F.avi"}));
        // Partition files are never handed to the repair.
        bool repaired = false;
        c.repairRecording = [&](const QString &, int, int) { return repaired = true; };
        VectorView view;
        QCOMPARE(c.fillListAll(view), 4);
        QVERIFY(!repaired);
    }

    void partitionThatCannotBeOpened()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("plain.img")), 1 << 20);
        RecordingCatalogue c;
        configure(c);
        DriveEntry d;
        d.kind = DriveKrfs;
        d.physicalPath = dir.filePath(QStringLiteral("plain.img")).toStdString();
        c.drives = {d};
        QVERIFY(!c.selectSource(0));
        QCOMPARE(c.krfsDevice, nullptr);
        QCOMPARE(c.entryCount(), 0);
        QCOMPARE(c.selectedDrive, -1);
    }

    void pcFolder()
    {
        QTemporaryDir pc, empty;
        writeFile(pc.filePath(QStringLiteral("trip/a/20231015_142530_1CH_N_F.mp4")), 10);
        writeFile(pc.filePath(QStringLiteral("20231015_142531_1CH_N_F.mp4")), 10);
        RecordingCatalogue c;
        configure(c);
        c.enumerateDrives();
        const int pcIndex = int(c.drives.size()) - 1;
        QCOMPARE(c.drives.back().label, QStringLiteral("Find in My Computer"));
        int shown = 0;
        QString answer = pc.path();
        c.folderPicker = [&] {
            ++shown;
            return answer;
        };
        // Before the main window exists: false, and no picker.
        QVERIFY(!c.selectSource(pcIndex));
        QCOMPARE(shown, 0);

        QObject mainWindow;
        c.ownerWindow = &mainWindow;
        QVERIFY(c.selectSource(pcIndex));
        QCOMPARE(shown, 1);
        QCOMPARE(c.entryCount(), 2);
        QCOMPARE(c.scannedFolders.size(), size_t(1));
        QCOMPARE(c.scannedFolders[0].fileCount, 2); // one file, one sub-folder
        QCOMPARE(c.selectedDriveEntry()->kind, int(DrivePcFolder));

        answer = empty.path(); // nothing there: false
        QVERIFY(!c.selectSource(pcIndex));
        QCOMPARE(c.entryCount(), 0);
        answer.clear(); // cancelled: false, the root is not scanned
        QVERIFY(!c.selectSource(pcIndex));
        QCOMPARE(c.entryCount(), 0);
        QVERIFY(!c.selectSource(-1));
        QVERIFY(!c.selectSource(pcIndex + 1));
    }

    void emptySource()
    {
        QTemporaryDir card;
        RecordingCatalogue c;
        configure(c);
        c.drives = {cardAt(card.path())};
        QVERIFY(c.selectSource(0));
        VectorView view;
        view.rows = {"stale"};
        c.shownRows = {nullptr};
        QCOMPARE(c.fillListAll(view), 0);
        QVERIFY(view.rows.empty());
        QVERIFY(c.shownRows.empty());
        QVERIFY(view.redraws.isEmpty()); // nothing to draw: redraw is not switched
    }

    void channelPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("third");
        const QString front = "/media/x/NOR/FRONT/";
        QTest::newRow("3CH") << front + "20231015_142530_3CH_N_F.mp4" << "/media/x/NOR/REAR/20231015_142530_3CH_N_R1.mp4"
                             << "/media/x/NOR/REAR/20231015_142530_3CH_N_R2.mp4";
        QTest::newRow("2CH: no third") << front + "20231015_142530_2CH_N_F.mp4"
                                       << "/media/x/NOR/REAR/20231015_142530_2CH_N_R1.mp4" << "";
        QTest::newRow("1CH") << front + "20231015_142530_1CH_N_F.mp4" << "" << "";
        QTest::newRow("field 4 not F.mp4") << front + "20231015_142530_3CH_N_F.MP4" << front + "20231015_142530_3CH_N_F.MP4"
                                           << front + "20231015_142530_3CH_N_F.MP4";
        QTest::newRow("FRONT and _F in the mount point stay")
            << "/media/CAR_FRONT/FRONT_F/NOR/FRONT/20231015_142530_2CH_N_F.mp4"
            << "/media/CAR_FRONT/FRONT_F/NOR/REAR/20231015_142530_2CH_N_R1.mp4" << "";
    }

    void channelPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, second);
        QFETCH(QString, third);
        RecordingCatalogue c;
        c.sourceKind = RecordingCatalogue::SourceDrive;
        RecordingEntry e;
        e.path = path;
        e.name = QFileInfo(path).fileName();
        const ChannelPaths p = c.channelPaths(e);
        QCOMPARE(p.front, path);
        QCOMPARE(p.second, second);
        QCOMPARE(p.third, third);
    }

    void folderNamesAndExtensions()
    {
        RecordingCatalogue c;
        QVERIFY(c.addFolderName(QStringLiteral("NOR")));
        QVERIFY(!c.addFolderName(QStringLiteral("NOR")));
        QVERIFY(c.addFolderName(QStringLiteral("ÉVT")));
        QCOMPARE(c.folderNames[1].nameNarrow, QByteArray("\xc3\x89VT"));
        c.addExtension(QStringLiteral("MP4"));
        c.addExtension(QStringLiteral("mp4"));
        c.addExtension(QString());
        QCOMPARE(c.extensions, QStringList{"mp4"});
        QCOMPARE(c.driveAt(0), nullptr);
        QCOMPARE(c.selectedDriveEntry(), nullptr);
    }

    // UTC, plus the daylight saving amount when the instant is in daylight time.
    void timeRule_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("unixSeconds");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CET summer") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3") << qint64(1697379930) << "2023-10-15 15:25:30";
        QTest::newRow("CET winter") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3") << qint64(1700000000) << "2023-11-14 22:13:20";
        QTest::newRow("Korea, no DST") << QByteArray("KST-9") << qint64(1697379930) << "2023-10-15 14:25:30";
        QTest::newRow("New York summer") << QByteArray("EST5EDT,M3.2.0,M11.1.0") << qint64(1697379930) << "2023-10-15 15:25:30";
        QTest::newRow("before 1970") << QByteArray("UTC0") << qint64(-1) << "1969-12-31 23:59:59";
    }

    void timeRule()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, unixSeconds);
        QFETCH(QString, shown);
        const QByteArray saved = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        const SystemTime s = shownTime(fileTimeFromUnix(unixSeconds));
        qputenv("TZ", saved);
        tzset();
        QCOMPARE(QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute, s.second),
                 shown);
    }

    // Discovery and catalogue together: a KRFS card found through a fake system.
    void cardFromDiscovery()
    {
        FakeSystem fake;
        fake.systemDisk();
        fake.addDisk(QStringLiteral("sdb"), 8, 16, true);
        fake.addPartition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
        fake.krfsNode(QStringLiteral("sdb"));
        std::string error;
        QVERIFY(krfs::putBytes(QFile::encodeName(fake.node(QStringLiteral("sdb"))).toStdString(), "MOT",
                               "20231015_142530_1CH_P_F.avi", std::vector<uint8_t>(5000, 1), {1697379930, true}, &error));
        fake.mount(8, 17, fake.mountPointDir(QStringLiteral("CARD")));
        RecordingCatalogue c;
        configure(c);
        QCOMPARE(c.enumerateDrives(), 2);
        QVERIFY(c.selectSource(0));
        QCOMPARE(c.sourceKind, int(RecordingCatalogue::SourceKrfs));
        VectorView view;
        QCOMPARE(c.fillListByType(recname::TypeParking, view), 1);
        QCOMPARE(view.rows.front(), QStringLiteral("001\t2023-10-15\t14:25:30\tMOT"));
        QCOMPARE(c.entryAtRow(0)->fileKey, 1u);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
