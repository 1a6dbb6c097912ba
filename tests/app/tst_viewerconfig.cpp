// The configuration loader against small files written per case.
#include "viewerconfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A document with the given configs and lstrings bodies.
QByteArray document(const QByteArray &configs, const QByteArray &lstrings = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<viewerconfig>\n<configs>" + configs +
           "</configs>\n<lstrings>" + lstrings + "</lstrings>\n</viewerconfig>\n";
}

QByteArray dirs(const QByteArray &body) { return "<dirs>" + body + "</dirs>"; }

} // namespace

class TestViewerConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QByteArray &content, const QString &name = QStringLiteral("viewerconfig.cfg"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write fixture");
        file.write(content);
        return path;
    }

    // "type:path:krfsp" per folder.
    static QStringList foldersOf(const ViewerConfig &config)
    {
        QStringList list;
        for (int i = 0; i < config.FolderCount(); ++i) {
            FolderEntry entry;
            if (config.GetFolder(i, entry))
                list << QStringLiteral("%1:%2:%3").arg(entry.type).arg(entry.path).arg(entry.krfsp);
        }
        return list;
    }

    // Runs merido-tool config-dump and returns (standard output before the JSON, JSON).
    static std::pair<QString, QJsonObject> dump(const QString &path)
    {
        QProcess tool;
        tool.start(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/merido-tool"),
                   {QStringLiteral("config-dump"), path});
        tool.waitForFinished(30000);
        const QByteArray out = tool.readAllStandardOutput();
        const qsizetype brace = out.indexOf("{\n");
        return {QString::fromUtf8(out.left(brace)), QJsonDocument::fromJson(out.mid(brace)).object()};
    }

private Q_SLOTS:
    void hash_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<uint>("hash");
        QTest::newRow("empty") << QByteArray("") << 5381u;
        QTest::newRow("one byte") << QByteArray("a") << 5381u * 33u + 97u;
        // Bytes above 0x7F count as negative values.
        QTest::newRow("signed byte") << QByteArray("\xC3") << 5381u * 33u - 61u;
        QTest::newRow("wraps modulo 2^32") << QByteArray("english") << 0x6A95ED6Fu;
    }
    void hash()
    {
        QFETCH(QByteArray, name);
        QFETCH(uint, hash);
        QCOMPARE(djb2Hash(name.constData()), hash);
    }

    void language_data()
    {
        QTest::addColumn<QByteArray>("element");
        QTest::addColumn<int>("language");
        QTest::newRow("chinese mode 1") << QByteArray("<language mode=\"1\">chinese</language>") << 4;
        QTest::newRow("chinese without mode") << QByteArray("<language>chinese</language>") << 3;
        QTest::newRow("russian") << QByteArray("<language mode=\"0\">russian</language>") << 5;
        QTest::newRow("capitalised is unknown") << QByteArray("<language>English</language>") << 0;
        QTest::newRow("unknown mode") << QByteArray("<language mode=\"2\">korean</language>") << 0;
        QTest::newRow("empty element") << QByteArray("<language/>") << 0;
    }
    void language()
    {
        QFETCH(QByteArray, element);
        QFETCH(int, language);
        ViewerConfig config;
        QVERIFY(config.Load(write(document(element))));
        QCOMPARE(config.Language(), language);
    }

    void folders_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("four types")
            << dirs("<dir type=\"NOR\" krfsp=\"1\">NOR</dir><dir type=\"EVT\" krfsp=\"2\">EVT</dir>"
                    "<dir type=\"MOT\">MOT</dir><dir type=\"USR\" krfsp=\"4\">USR</dir>")
            << QStringList{"0:NOR:1", "1:EVT:2", "2:MOT:2", "3:USR:4"};
        QTest::newRow("same type twice") << dirs("<dir type=\"NOR\">A</dir><dir type=\"NOR\">B</dir>")
                                         << QStringList{"0:A:0"};
        QTest::newRow("same path twice") << dirs("<dir type=\"NOR\">A</dir><dir type=\"EVT\">A</dir>")
                                         << QStringList{"0:A:0"};
        QTest::newRow("lower-case type") << dirs("<dir type=\"nor\">NOR</dir><dir type=\"Photo\">P</dir>")
                                         << QStringList{"0:NOR:0", "4:P:0"};
        QTest::newRow("krfsp bounds")
            << dirs("<dir type=\"NOR\" krfsp=\"150\">N</dir><dir type=\"EVT\" krfsp=\"-1\">E</dir>"
                    "<dir type=\"MOT\" krfsp=\"99\">M</dir><dir type=\"USR\" krfsp=\"99999999999999\">U</dir>")
            << QStringList{"0:N:0", "1:E:0", "2:M:99", "3:U:0"};
        // A skipped dir still sets the holder the next one inherits.
        QTest::newRow("holder survives skipped dir")
            << dirs("<dir type=\"BAD\" krfsp=\"7\">X</dir><dir type=\"EVT\">E</dir>")
            << QStringList{"1:E:7"};
        QTest::newRow("skipped: no text, no type, unknown, too long")
            << dirs("<dir type=\"NOR\"/><dir>P</dir><dir type=\"ABC\">Q</dir>"
                    "<dir type=\"NORNORNORNORNORN\">R</dir><dir type=\"EVT\">EVT</dir>")
            << QStringList{"1:EVT:0"};
        QTest::newRow("UTF-8 path") << dirs("<dir type=\"USR\">Ünterordner</dir>")
                                    << QStringList{QString::fromUtf8("3:Ünterordner:0")};
        QTest::newRow("no dirs block") << QByteArray("<dir type=\"NOR\">N</dir>") << QStringList{};
    }
    void folders()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        ViewerConfig config;
        QVERIFY(config.Load(write(document(body))));
        QCOMPARE(foldersOf(config), expected);
        FolderEntry unused;
        QVERIFY(!config.GetFolder(-1, unused));
        QVERIFY(!config.GetFolder(config.FolderCount(), unused));
    }

    void extensions()
    {
        ViewerConfig config;
        QVERIFY(config.Load(write(document("<extensions><extension>mp4</extension><extension>avi</extension>"
                                           "<extension>mp4</extension><extension>MP4</extension><extension/>"
                                           "</extensions>"))));
        QStringList list;
        for (int i = 0; i < config.ExtensionCount(); ++i) {
            QString ext;
            QVERIFY(config.GetExtension(i, ext));
            list << ext;
        }
        QCOMPARE(list, (QStringList{"mp4", "avi", "MP4"}));
        QString untouched = QStringLiteral("x");
        QVERIFY(!config.GetExtension(3, untouched));
        QCOMPARE(untouched, QStringLiteral("x"));
    }

    void switches_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<uint>("flags");
        QTest::newRow("all on") << QByteArray("<recursive removal=\"true\" desktop=\"YES\"/>"
                                              "<capture filetime=\"1\" addpos=\"True\"/>")
                                << 15u;
        QTest::newRow("off and unknown") << QByteArray("<recursive removal=\"no\" desktop=\"maybe\"/>"
                                                       "<capture filetime=\"0\"/>")
                                         << 0u;
        QTest::newRow("desktop and addpos") << QByteArray("<recursive desktop=\"yes\"/><capture addpos=\"yes\"/>")
                                            << 10u;
    }
    void switches()
    {
        QFETCH(QByteArray, body);
        QFETCH(uint, flags);
        ViewerConfig config;
        QVERIFY(config.Load(write(document(body))));
        QCOMPARE(config.Flags(), flags);
    }

    void strings()
    {
        const QByteArray lstrings =
            "<lstring id=\"TWO_LINES\"><language type=\"english\">first\\nsecond</language>"
            "<language type=\"korean\">하나\\n둘</language></lstring>"
            // Same id and language again: the first text stays.
            "<lstring id=\"TWO_LINES\"><language type=\"english\">replacement</language></lstring>"
            // Any element after the first lstring counts, whatever its name.
            "<other id=\"OTHER\"><language type=\"english\">other</language></other>"
            // "Ez" and "FY" have the same hash, so they are the same key.
            "<lstring id=\"Ez\"><language type=\"english\">Ez text</language></lstring>"
            "<lstring id=\"FY\"><language type=\"english\">FY text</language></lstring>"
            // The mode carries over to the next child; unknown languages are unreachable.
            "<lstring id=\"MODE\"><language type=\"chinese\" mode=\"1\">traditional</language>"
            "<language type=\"russian\">never found</language></lstring>"
            "<lstring><language type=\"english\">no id</language></lstring>";
        ViewerConfig config;
        QVERIFY(config.Load(write(document("<language>english</language>", lstrings))));

        QString text;
        QVERIFY(config.LookupString("TWO_LINES", text));
        QCOMPARE(text, QStringLiteral("first\nsecond"));
        QVERIFY(config.LookupString("OTHER", text));
        QCOMPARE(text, QStringLiteral("other"));
        QVERIFY(config.LookupString("FY", text));
        QCOMPARE(text, QStringLiteral("Ez text"));
        text = QStringLiteral("unchanged");
        QVERIFY(!config.LookupString("MODE", text));
        QVERIFY(!config.LookupString("MISSING", text));
        QCOMPARE(text, QStringLiteral("unchanged"));
        // TWO_LINES x2 languages, OTHER, Ez, MODE x2 (chinese 1 and the unreachable one).
        QCOMPARE(int(config.Strings().size()), 6);

        ViewerConfig korean;
        QVERIFY(korean.Load(write(document("<language>korean</language>", lstrings))));
        QVERIFY(korean.LookupString("TWO_LINES", text));
        QCOMPARE(text, QString::fromUtf8("하나\n둘"));
    }

    void structuralFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("report");
        QTest::newRow("no lstrings, configs ignored")
            << QByteArray("<r><configs><language>korean</language><extensions><extension>mp4</extension>"
                          "</extensions></configs></r>")
            << "xml document has no lstrings element";
        QTest::newRow("no configs") << QByteArray("<r><lstrings/></r>") << "xml document has no configs element";
        QTest::newRow("no root") << QByteArray("<?xml version=\"1.0\"?><!-- nothing -->")
                                 << "xml document has no root element";
        QTest::newRow("not XML") << QByteArray("\x01\x02garbage<<<") << "Can not configuration file";
        QTest::newRow("empty") << QByteArray("") << "Can not configuration file";
        QTest::newRow("deep nesting") << QByteArray("<a>").repeated(200000) << "Can not configuration file";
    }
    void structuralFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, report);
        const QString path = write(content);
        ViewerConfig config;
        QVERIFY(!config.Load(path));
        QCOMPARE(config.Language(), 0);
        QCOMPARE(config.FolderCount(), 0);
        QCOMPARE(config.ExtensionCount(), 0);
        QCOMPARE(config.Flags(), 0u);

        const auto [reports, json] = dump(path);
        QVERIFY2(reports.startsWith(path + QStringLiteral("(line:")), qPrintable(reports));
        QVERIFY2(reports.contains(report), qPrintable(reports));
        QCOMPARE(json.value(QStringLiteral("loaded")).toBool(true), false);
    }

    void missingFile()
    {
        ViewerConfig config;
        QVERIFY(!config.Load(dir.filePath(QStringLiteral("absent.cfg"))));
        QString text;
        QVERIFY(!config.LookupString("MAIN_MSG_NO_FILES", text));
    }

    // The shipped file, through the command line: everything the program looks up is there
    // in all six languages, and the JSON has the documented shape.
    void shippedConfigurationDump()
    {
        const auto [reports, json] = dump(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/viewerconfig.cfg"));
        QCOMPARE(reports, QString());
        QCOMPARE(json.value(QStringLiteral("loaded")).toBool(), true);
        QCOMPARE(json.value(QStringLiteral("language")).toInt(), 0);
        QCOMPARE(json.value(QStringLiteral("flags")).toInt(), 3);
        QCOMPARE(json.value(QStringLiteral("extensions")).toArray(), QJsonArray{QStringLiteral("mp4")});
        QStringList folders;
        for (const QJsonValue &f : json.value(QStringLiteral("folders")).toArray())
            folders << QStringLiteral("%1:%2").arg(f[QStringLiteral("type")].toInt()).arg(f[QStringLiteral("path")].toString());
        QCOMPARE(folders, (QStringList{"0:NOR", "1:EVT", "2:MOT", "3:USR"}));
        QMap<QString, QList<int>> languages;
        for (const QJsonValue &s : json.value(QStringLiteral("strings")).toArray())
            languages[s[QStringLiteral("id")].toString()] << s[QStringLiteral("language")].toInt();
        for (const char *id : {"COMM_SEL_FOLDER", "SELDRV_COMBO_DESKTOP", "MAIN_MSG_NO_FILES"})
            QCOMPARE(languages.value(QLatin1String(id)), (QList<int>{0, 1, 2, 3, 4, 5}));
    }

    void duplicateReport()
    {
        const QString path = write(document("", "<lstring id=\"A\"><language type=\"english\">kept</language>"
                                                "<language type=\"english\">dropped</language></lstring>"));
        const auto [reports, json] = dump(path);
        QCOMPARE(reports, QStringLiteral("Duplicated LSID(kept) found, ignore it.\n"));
        QCOMPARE(json.value(QStringLiteral("strings")).toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestViewerConfig)
#include "tst_viewerconfig.moc"
