// The camera settings file: reading the camera's lines, writing them back, the CLI.
#include "setupkeytable.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSetupKeyTable : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString writeFile(const QByteArray &content)
    {
        const QString path = dir.filePath(QStringLiteral("setup.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write fixture");
        file.write(content);
        return path;
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Runs merido-tool with the arguments; returns (exit code, standard output).
    static std::pair<int, QByteArray> tool(const QStringList &args)
    {
        QProcess process;
        process.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/merido-tool"), args);
        process.waitForFinished(30000);
        return {process.exitCode(), process.readAllStandardOutput()};
    }

    static QString value(const SetupKeyTable &table, const char *key)
    {
        const std::optional<int> index = table.Find(key);
        return index ? QString::fromStdString(table.entries()[size_t(*index)].value) : QStringLiteral("<none>");
    }

private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("defaults") << QByteArray("") << QByteArray("LCD_BR_LV") << "2";
        QTest::newRow("keys are case-sensitive") << QByteArray("lcd_br_lv=0\n") << QByteArray("LCD_BR_LV") << "2";
        QTest::newRow("last line wins") << QByteArray("GSENSOR_LV=2\r\nPARK_EN=0\r\nGSENSOR_LV=0\r\n")
                                        << QByteArray("GSENSOR_LV") << "0";
        QTest::newRow("key without value") << QByteArray("MIC_EN=\n") << QByteArray("MIC_EN") << "1";
        QTest::newRow("embedded blank") << QByteArray("DST_EN=1 0\n") << QByteArray("DST_EN") << "1";
        QTest::newRow("blanks around =") << QByteArray("  LCD_BR_LV = 1\n") << QByteArray("LCD_BR_LV") << "1";
        QTest::newRow("blank instead of =") << QByteArray("\tLCD_BR_LV 1") << QByteArray("LCD_BR_LV") << "1";
        QTest::newRow("second = ignored") << QByteArray("LCD_BR_LV=1=9\n") << QByteArray("LCD_BR_LV") << "1";
        QTest::newRow("blank lines") << QByteArray("\n\r\n   \nNV_EN=0\n") << QByteArray("NV_EN") << "0";
        QTest::newRow("no range check") << QByteArray("GMT_ID=999abc\n") << QByteArray("GMT_ID") << "999abc";
        // 300 characters: pieces of 127, 127 and 46; the value ends where the first piece does.
        QTest::newRow("300-character line") << "BOARD_VERSION=" + QByteArray(286, 'x') + "\n"
                                            << QByteArray("BOARD_VERSION") << QString(127 - 14, QLatin1Char('x'));
        QTest::newRow("value cut off at a piece boundary")
            << QByteArray(120, ' ') + "PARK_EN=0\n" << QByteArray("PARK_EN") << "1";
        QTest::newRow("NUL byte") << QByteArray("PARK_EN=0\0garbage\nNV_EN=0\n", 27) << QByteArray("NV_EN") << "0";
    }
    void reading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, key);
        QFETCH(QString, expected);
        SetupKeyTable table;
        table.RegisterCameraKeys();
        QVERIFY(table.Load(writeFile(content)));
        QCOMPARE(value(table, key.constData()), expected);
    }

    void missingFileChangesNothing()
    {
        SetupKeyTable table;
        table.RegisterCameraKeys();
        QVERIFY(!table.Load(dir.filePath(QStringLiteral("absent.ini"))));
        QCOMPARE(value(table, "LCD_BR_LV"), QString());
        QCOMPARE(table.GetInt("LCD_BR_LV"), std::optional<int>(0));
        QCOMPARE(table.GetInt("NOT_A_KEY"), std::nullopt);
    }

    void registerIgnoresEmptyAndDuplicates()
    {
        SetupKeyTable table;
        table.Register("A", 1);
        table.Register("", 2);
        table.Register("A", 3);
        QCOMPARE(int(table.entries().size()), 1);
        QCOMPARE(table.entries()[0].fileValue, std::string("1"));
    }

    void savingWritesTheTableInOrder()
    {
        SetupKeyTable table;
        table.RegisterCameraKeys();
        QVERIFY(table.Load(writeFile("PARK_LED_EN=0\nEXTRA_KEY=5\nBOARD_VERSION=7\nLCD_BR_LV=0\n")));
        table.SetInt(*table.Find("VOLUME_LV"), 2);
        const QString out = dir.filePath(QStringLiteral("out.ini"));
        QVERIFY(table.Save(out));
        QCOMPARE(readFile(out), QByteArray("BOARD_VERSION=7\r\nLCD_BR_LV=0\r\nLCD_OFF_DUR=30\r\nSCREEN_SAVER_EN=1\r\n"
                                           "LDWS_EN=0\r\nFCWS_EN=0\r\nFVSA_EN=0\r\nGSENSOR_LV=1\r\nMOTION_LV=1\r\n"
                                           "NV_EN=1\r\nDST_EN=1\r\nGMT_ID=23\r\nGUIDE_EN=1\r\nMIC_EN=1\r\n"
                                           "VOLUME_LV=2\r\nVOLT_CUT_ID=1\r\nPARK_EN=1\r\nPARK_LED_EN=0\r\n"));
        QVERIFY(!table.Save(dir.filePath(QStringLiteral("no/such/folder/setup.ini"))));
    }

    void screenMode_data()
    {
        QTest::addColumn<int>("lcdOffDuration");
        QTest::addColumn<int>("screenSaver");
        QTest::addColumn<QString>("choice");
        QTest::newRow("defaults") << 30 << 1 << "Display clock after 30 seconds";
        QTest::newRow("clock wins over 3 min") << 180 << 1 << "Display clock after 30 seconds";
        QTest::newRow("3 minutes") << 180 << 0 << "Screen off after 3 minutes";
        QTest::newRow("always on") << -1 << 0 << "Screen always on";
        QTest::newRow("other values") << 60 << 0 << "Screen off after 30 seconds";
    }
    void screenMode()
    {
        QFETCH(int, lcdOffDuration);
        QFETCH(int, screenSaver);
        QFETCH(QString, choice);
        QCOMPARE(QLatin1String(screenModeChoice(screenModeFor(lcdOffDuration, screenSaver)).text), choice);
    }

    void timeZones()
    {
        QCOMPARE(QLatin1String(timeZoneText(23)), QLatin1String("(GMT+9) Seoul, Tokyo, Yakutsk"));
        QCOMPARE(QLatin1String(timeZoneText(47)), QLatin1String("(GMT-1) Azores, Cape Verde Islands"));
        QCOMPARE(QLatin1String(timeZoneText(48)), QLatin1String(""));
        for (int i = 0; i < kTimeZoneCount; ++i)
            QVERIFY(std::strlen(timeZoneText(i)) <= size_t(kTimeZoneTextWidth));
    }

    void commandLine()
    {
        const QString card = dir.filePath(QStringLiteral("card"));
        QDir().mkpath(card);
        // A card without the file: set creates it with the defaults plus the change.
        auto [code, out] = tool({QStringLiteral("setup"), QStringLiteral("set"), card, QStringLiteral("GMT_ID=5")});
        QCOMPARE(code, 0);
        const QByteArray written = readFile(card + QStringLiteral("/SETUP/setup.ini"));
        QCOMPARE(written.count("\r\n"), 18);
        QVERIFY(written.contains("\r\nGMT_ID=5\r\n"));
        QVERIFY(written.contains("\r\nLCD_BR_LV=2\r\n"));

        std::tie(code, out) = tool({QStringLiteral("setup"), QStringLiteral("set"), card, QStringLiteral("NOPE=1")});
        QCOMPARE(code, 2);

        QFile file(card + QStringLiteral("/SETUP/setup.ini"));
        QVERIFY(file.open(QIODevice::Append));
        file.write("lcd_br_lv=0\r\n");
        file.close();
        std::tie(code, out) = tool({QStringLiteral("setup"), QStringLiteral("show"), card});
        QCOMPARE(code, 0);
        const QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.front(), QByteArray("INI ITEM <lcd_br_lv> is not registered! Ignore it."));
        QCOMPARE(lines[1], QByteArray("BOARD_VERSION=0"));
        QVERIFY(out.contains("\nGMT_ID=5\n"));
    }
};

QTEST_GUILESS_MAIN(TestSetupKeyTable)
#include "tst_setupkeytable.moc"
