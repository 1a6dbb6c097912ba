// merido-tool list: the file list's rows for a PC folder, a card found by discovery and a
// partition image, with the configuration's folders and extensions.
#include "fakesystem.h"
#include "gstplay.h"
#include "krfsimage.h"

#include <QProcess>
#include <QTest>

namespace {

QByteArray list(const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/merido-tool"), QStringList{"list"} + args);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitCode();
    return p.readAllStandardOutput();
}

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

} // namespace

class TestListTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A card whose last recordings lost their index to a power cut: listing all recordings
    // rebuilds the index, and every channel then plays to its end.
    void listingAllRepairsCutRecordings()
    {
        QTemporaryDir dir;
        const QString card = dir.filePath(QStringLiteral("card"));
        QProcess camsim;
        camsim.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/camsim"),
                     {"card", card, "--seed", "3", "--normal", "2", "--event", "1", "--seconds", "2", "--channels", "2",
                      "--power-cut", "1"});
        QVERIFY(camsim.waitForFinished(180000));
        QCOMPARE(camsim.exitCode(), 0);
        const QStringList cut = {card + "/NOR/FRONT", card + "/NOR/REAR", card + "/EVT/FRONT", card + "/EVT/REAR"};
        QStringList files;
        for (const QString &folder : cut)
            for (const QFileInfo &f : QDir(folder).entryInfoList({"*.mp4"}, QDir::Files, QDir::Name))
                files << f.filePath();
        QCOMPARE(files.size(), 6);
        // Before: the cut recordings do not play.
        int unplayable = 0;
        for (const QString &f : files)
            unplayable += !testsupport::playToEnd(f).reachedEnd;
        QCOMPARE(unplayable, 4); // the last normal and the event recording, front and rear

        int code = -1;
        const QByteArray rows = list({card, "--type", "all"}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(rows.count('\n'), 3);
        for (const QString &f : files) {
            const testsupport::PlayResult played = testsupport::playToEnd(f);
            QVERIFY2(played.reachedEnd && played.videoFrames > 0, qPrintable(f + ": " + played.error));
        }
    }

    void views_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("rows");
        QTest::newRow("all") << QStringList{}
                             << QByteArray("001\t2023-10-15\t14:25:30\tNOR\n002\t2023-10-15\t14:26:30\tEVT\n");
        QTest::newRow("all, descending") << QStringList{"--descending"}
                                         << QByteArray("001\t2023-10-15\t14:26:30\tEVT\n002\t2023-10-15\t14:25:30\tNOR\n");
        QTest::newRow("event") << QStringList{"--type", "event"} << QByteArray("001\t2023-10-15\t14:26:30\tEVT\n");
        QTest::newRow("user") << QStringList{"--type", "user"} << QByteArray();
    }

    // A mounted card found by drive discovery (kind 0) and the same tree as a PC folder.
    void views()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, rows);
        FakeSystem fake;
        fake.systemDisk();
        fake.addDisk(QStringLiteral("sdb"), 8, 16, true);
        fake.addPartition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
        fake.fileNode(QStringLiteral("sdb"), 1 << 20);
        const QString card = fake.mountPointDir(QStringLiteral("CARD"));
        fake.mount(8, 17, card);
        touch(card + "/NOR/FRONT/20231015_142530_3CH_N_F.mp4");
        touch(card + "/NOR/REAR/20231015_142530_3CH_N_R1.mp4");
        touch(card + "/NOR/REAR/20231015_142530_3CH_N_R2.mp4");
        touch(card + "/EVT/FRONT/20231015_142630_1CH_E_F.MP4");
        touch(card + "/PHOTO/20231015_142700_1CH_N_F.mp4"); // not a configured folder

        QCOMPARE(list(QStringList{card} + options), rows);
        // The PC folder scans the whole tree, PHOTO included.
        const QByteArray pc = list(QStringList{fake.tmp.filePath("mnt")} + options);
        QCOMPARE(pc.count('\n'), rows.count('\n') + (options.contains("event") || options.contains("user") ? 0 : 1));
    }

    void configurationAndImage()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath("viewerconfig.cfg");
        {
            QFile f(config);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<?xml version=\"1.0\"?>\n<viewerconfig><configs><language mode=\"0\">english</language>"
                    "<dirs><dir type=\"USR\" krfsp=\"3\">USR</dir></dirs>"
                    "<extensions><extension>avi</extension></extensions></configs><lstrings/></viewerconfig>\n");
        }
        const std::string image = dir.filePath("card.img").toStdString();
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 2 << 20;
        o.blockSize = 4096;
        o.dirSlots = 16;
        std::string error;
        QVERIFY(krfs::makeImage(image, o, nullptr, &error));
        QVERIFY(krfs::putBytes(image, "USR", "20231015_142530_1CH_U_F.avi", std::vector<uint8_t>(10, 0), {0, true}, &error));
        QVERIFY(krfs::putBytes(image, "NOR", "20231015_142531_1CH_N_F.avi", std::vector<uint8_t>(10, 0), {0, true}, &error));
        // Only the configured folder USR is listed.
        QCOMPARE(list({QString::fromStdString(image), "--config", config}),
                 QByteArray("001\t2023-10-15\t14:25:30\tUSR\n"));
        QCOMPARE(list({QString::fromStdString(image)}).count('\n'), 2);
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out"); // diagnostics go to standard output
        QTest::newRow("missing source") << QStringList{"/nonexistent/x"} << 1 << QByteArray();
        QTest::newRow("not an image") << QStringList{"/etc/hostname"} << 1 << QByteArray("KRFS drive cannot be opened\n");
        QTest::newRow("bad type") << QStringList{"/tmp", "--type", "nor"} << 2 << QByteArray();
        QTest::newRow("no source") << QStringList{} << 2 << QByteArray();
    }

    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        int code = -1;
        QCOMPARE(list(args, &code), out);
        QCOMPARE(code, exitCode);
    }
};

QTEST_GUILESS_MAIN(TestListTool)
#include "tst_listtool.moc"
