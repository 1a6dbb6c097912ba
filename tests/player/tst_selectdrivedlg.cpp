// The source selection window over a fake system with one KRFS card.
#include "fakesystem.h"
#include "nselectdrivedlg.h"
#include "skinbutton.h"
#include "skincombobox.h"
#include "windowregistry.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

class TestSelectDriveDlg : public QObject
{
    Q_OBJECT

    // A KRFS card mounted at CARD beside the system disk; returns the mount point.
    static QString cardSystem(FakeSystem &fake)
    {
        fake.systemDisk();
        fake.addDisk(QStringLiteral("sdb"), 8, 16, true);
        fake.addPartition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
        fake.krfsNode(QStringLiteral("sdb"));
        const QString card = fake.mountPointDir(QStringLiteral("CARD"));
        fake.mount(8, 17, card);
        return card;
    }

private Q_SLOTS:
    void layoutAndList()
    {
        FakeSystem fake;
        const QString card = cardSystem(fake);
        QWidget mainWindow;
        mainWindow.setGeometry(200, 100, 820, 790);
        WindowRegistry::Get().Register(IDD_MAIN, &mainWindow);

        std::vector<DriveEntry> drives(5); // stale entries from an earlier opening
        CNSelectDriveDlg dialog(drives, QStringLiteral("Find in My Computer"));
        QCOMPARE(drives.size(), size_t(2));
        QCOMPARE(dialog.size(), QSize(456, 182));
        QCOMPARE(dialog.pos(), QPoint(200 + (820 - 456) / 2, 100 + (790 - 182) / 2));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);

        QCOMPARE(dialog.sourceList()->geometry(), QRect(110, 90, 240, 30));
        QCOMPARE(dialog.closeButton()->geometry(), QRect(382, 8, 65, 28));
        QCOMPARE(dialog.checkButton()->geometry(), QRect(143, 130, 158, 36));
        QCOMPARE(dialog.closeButton()->id(), 1005);
        QCOMPARE(dialog.checkButton()->id(), 1006);
        QCOMPARE(dialog.closeButton()->toolTip(), QStringLiteral("Close"));
        QCOMPARE(dialog.checkButton()->toolTip(), QStringLiteral("Check"));

        // "(KRFS)" is removed from the shown text, leaving the space before it.
        QStringList items;
        for (int i = 0; i < dialog.sourceList()->count(); ++i)
            items << dialog.sourceList()->itemText(i);
        QCOMPARE(items, (QStringList{card + QStringLiteral("/ "), QStringLiteral("Find in My Computer")}));
        QCOMPARE(dialog.sourceList()->currentIndex(), 0);
        QCOMPARE(dialog.selectedIndex(), -1);

        // Black where no control lies.
        const QImage image = dialog.grab().toImage();
        QCOMPARE(image.pixelColor(20, 20), QColor(Qt::black));
        QCOMPARE(image.pixelColor(440, 170), QColor(Qt::black));
        WindowRegistry::Get().clear();
    }

    void buttons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("selected");
        QTest::newRow("Check takes the selection") << int(CNSelectDriveDlg::IDC_CHECK) << int(QDialog::Accepted) << 1;
        QTest::newRow("Close cancels") << int(CNSelectDriveDlg::IDC_CLOSE) << int(QDialog::Rejected) << -1;
    }

    void buttons()
    {
        QFETCH(int, button);
        QFETCH(int, result);
        QFETCH(int, selected);
        FakeSystem fake;
        cardSystem(fake);
        std::vector<DriveEntry> drives;
        CNSelectDriveDlg dialog(drives, QStringLiteral("PC"));
        CSkinButton *target = button == CNSelectDriveDlg::IDC_CHECK ? dialog.checkButton() : dialog.closeButton();
        // Modal, as the file list window runs it: the user picks the PC entry, then clicks.
        QTimer::singleShot(0, &dialog, [&] {
            dialog.sourceList()->setCurrentIndex(1);
            QTest::mouseClick(target, Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(dialog.selectedIndex(), selected);
        if (selected >= 0)
            QCOMPARE(drives[size_t(selected)].kind, int(DrivePcFolder));
    }

    void onlyThePcFolderWithoutCards()
    {
        FakeSystem fake;
        fake.systemDisk();
        std::vector<DriveEntry> drives;
        CNSelectDriveDlg dialog(drives, QStringLiteral("PC"));
        QCOMPARE(dialog.sourceList()->count(), 1);
        QCOMPARE(dialog.sourceList()->currentText(), QStringLiteral("PC"));
    }
};

QTEST_MAIN(TestSelectDriveDlg)
#include "tst_selectdrivedlg.moc"
