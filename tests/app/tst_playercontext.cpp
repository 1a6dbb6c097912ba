// The player context builds its catalogue from the loaded configuration.
#include "playercontext.h"
#include "viewerconfig.h"

#include <QTest>

class TestPlayerContext : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogueFromTheShippedConfiguration()
    {
        // Start-up loads the configuration before the context comes into being.
        QVERIFY(ViewerConfig::Get()->Load(qEnvironmentVariable("MERIDO_BIN_DIR") + QStringLiteral("/viewerconfig.cfg")));
        RecordingCatalogue &c = PlayerContext::Get().catalogue;
        QStringList folders;
        for (const RecordingFolderName &f : c.folderNames)
            folders << f.name;
        QCOMPARE(folders, (QStringList{"NOR", "EVT", "MOT", "USR"}));
        QCOMPARE(c.extensions, QStringList{"mp4"});
        QVERIFY(c.recurseDrive);
        QVERIFY(c.recursePcFolder);
        QCOMPARE(c.pcFolderLabel, QStringLiteral("PC folder"));
        QCOMPARE(c.sourceKind, int(RecordingCatalogue::SourceNone));
        QVERIFY(!c.folderPicker); // the main window provides the picker over itself

        // Before the main window exists the PC folder is not offered a picker.
        c.enumerateDrives();
        QCOMPARE(c.drives.back().label, QStringLiteral("PC folder"));
        QVERIFY(!c.selectSource(int(c.drives.size()) - 1));
    }
};

QTEST_MAIN(TestPlayerContext)
#include "tst_playercontext.moc"
