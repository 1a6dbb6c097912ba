// merido-tool krfs end to end: a card image with a real FAT32 partition beside KRFS.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestKrfsTool : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // Runs merido-tool with `args`; returns the exit code and fills `out`.
    int tool(const QStringList &args, QByteArray *out = nullptr)
    {
        QProcess p;
        p.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/merido-tool"), args);
        if (!p.waitForFinished(60000))
            return -1;
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void makeFillListRead()
    {
        const QString image = dir.filePath(QStringLiteral("card.img"));
        QCOMPARE(tool({"krfs", "mkfs", image, "--size", "16", "--fat", "40", "--block", "16", "--files", "100"}), 0);

        const QString payload = dir.filePath(QStringLiteral("payload.avi"));
        QByteArray data;
        for (int i = 0; i < 300000; ++i)
            data += char(i * 13);
        {
            QFile f(payload);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        }
        QCOMPARE(tool({"krfs", "put", image, "NOR", payload, "--name", "20231015_142530_2CH_N_F.avi", "--time",
                       "2023-10-15T14:25:30"}),
                 0);
        QCOMPARE(tool({"krfs", "put", image, "EVT", payload, "--name", "20231015_142600_2CH_E_F.avi", "--time",
                       "1697380000", "--open"}),
                 0);
        // Same name twice in one folder is refused.
        QCOMPARE(tool({"krfs", "put", image, "NOR", payload, "--name", "20231015_142530_2CH_N_F.avi"}), 1);

        QByteArray listing;
        QCOMPARE(tool({"krfs", "ls", image}, &listing), 0);
        QCOMPARE(listing, QByteArray("NOR/20231015_142530_2CH_N_F.avi\t1\t300000\t2023-10-15T14:25:30Z\n"
                                     "EVT/20231015_142600_2CH_E_F.avi\t2\t300000\t2023-10-15T14:26:40Z\n"));
        QByteArray content;
        QCOMPARE(tool({"krfs", "cat", image, "EVT/20231015_142600_2CH_E_F.avi"}, &content), 0);
        QCOMPARE(content, data);
        QCOMPARE(tool({"krfs", "cat", image, "EVT/missing.avi"}), 1);

        // The FAT32 partition (sectors 2048 .. 2048 + 40 MiB) is a sound file system:
        // fsck.fat checks a copy of it read-only.
        const QString fat = dir.filePath(QStringLiteral("fat.img"));
        {
            QFile in(image), out(fat);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            QVERIFY(in.seek(2048 * 512));
            QCOMPARE(out.write(in.read(40 << 20)), qint64(40 << 20));
        }
        QProcess fsck;
        fsck.start(QStringLiteral("fsck.fat"), {"-n", fat});
        QVERIFY(fsck.waitForFinished(60000));
        QCOMPARE(fsck.exitCode(), 0);
    }

    void refusesWhatIsNotAnImage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("ls of a missing file") << QStringList{"krfs", "ls", "/nonexistent/card.img"};
        QTest::newRow("cat of a plain file") << QStringList{"krfs", "cat", "/etc/hostname", "NOR/x"};
    }

    void refusesWhatIsNotAnImage()
    {
        QFETCH(QStringList, args);
        QCOMPARE(tool(args), 1);
    }
};

QTEST_GUILESS_MAIN(TestKrfsTool)
#include "tst_krfstool.moc"
